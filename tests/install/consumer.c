#include <qvxml.h>

int main(void) { return Q_XMLResetErrMsg(); }
