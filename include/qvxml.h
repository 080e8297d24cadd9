/*
 * qvxml: XML services for a multivalued database engine.
 *
 * Conventions
 * -----------
 * Handles.   A QvHandle stands for a whole parsed or built document (a document
 *            handle) or for one node of a document (a node handle). A QvDataset is
 *            a mapping dataset. Both are opaque; the host owns each one from the
 *            export that returns it until QV_XDOMClose / QV_XMAPClose. Node handles
 *            are usable only while their document handle is open.
 * Strings.   NUL-terminated byte strings in the host's encoding (named by host
 *            callback 6; the local code page when there is none). Documents given
 *            in memory are handed to the parser as bytes: the parser finds their
 *            encoding from the text itself.
 * Ownership. Every text the library returns stays owned by the library: it lives in
 *            the handle or dataset that produced it until the next call that
 *            replaces that holder's text, or until the holder is closed. The host
 *            never frees it. Texts the host passes in are copied when kept, except
 *            the user-data pointer of QV_XDOMSetUserData, which is kept as given.
 * Errors.    Exports that return a pointer return NULL on failure; XDOM exports that
 *            change the tree return the DOM status (0 = success); XMAP exports return
 *            0 or -1 (QV_XMAPReadNext: 100 at the end of a table). Every failure
 *            appends one line to a process-wide message text (Q_XMLGetErrMsg) and
 *            sets the last code (Q_XMLGetErrCode); lines accumulate until the host
 *            calls Q_XMLResetErrMsg. XDOM exports also set the DOM status
 *            (Q_XMLGetDOMStatus), cleared on entry to each of them.
 * Callbacks. The host registers six callbacks with QV_XMLInitial before its first
 *            mapping call; only callback 6 (encoding) may be NULL.
 * Threads.   The library takes no locks: call it from one thread at a time.
 */
#ifndef QVXML_H
#define QVXML_H

#include <stdarg.h>

#if defined(QVXML_BUILDING) && defined(__GNUC__)
#define QVXML_API __attribute__((visibility("default")))
#else
#define QVXML_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Opaque handles -------------------------------------------------------- */

typedef struct QvHandle_ *QvHandle;   /* document or node handle */
typedef struct QvDataset_ *QvDataset; /* mapping dataset */

/* ---- Records shared with the host ------------------------------------------ */

/* What host callback 6 returns: three NUL-terminated encoding names. */
typedef struct QvHostEncoding {
    char base[32];   /* offset 0:  used for a direction whose own name is empty */
    char input[32];  /* offset 32: text the host passes in */
    char output[32]; /* offset 64: text handed back to the host */
} QvHostEncoding;

/* Document settings record, filled by the host (123 bytes, no padding). A flag
 * byte means true when it is not 0. */
typedef struct QvDocSettings {
    char docEncoding[64];     /* offset 0:   encoding named in a new document's declaration */
    char outEncoding[40];     /* offset 64:  output encoding of a write; empty = the document's */
    char lineEnd[8];          /* offset 104: "CR-LF", "CR", "LF"; else the writer's default */
    char standalone;          /* offset 112: new documents: standalone="yes" */
    char xmlDeclaration;      /* offset 113 */
    char prettyPrint;         /* offset 114 */
    char normalizeChars;      /* offset 115 */
    char splitCdata;          /* offset 116 */
    char validation;          /* offset 117 */
    char entities;            /* offset 118 */
    char whitespaceInContent; /* offset 119 */
    char discardDefault;      /* offset 120 */
    char canonicalForm;       /* offset 121 */
    char byteOrderMark;       /* offset 122 */
} QvDocSettings;

/* ---- Host callbacks (registered with QV_XMLInitial, in this order) ---------- */

/* 1: open the dictionary of a host file; NULL = cannot open. */
typedef void *(*QvDictOpenFn)(const char *fileName);
/* 2: describe a column: field number >= 0 (0 = record ID), -1 virtual field,
 *    -2 no such column, other negative = no description. Sets all three outputs;
 *    *convCodeLength 0 = no conversion code. */
typedef int (*QvDictDescribeFn)(void *dict, const char *column, int *multivalued,
                                char **convCode, int *convCodeLength);
/* 3: close a dictionary. */
typedef void (*QvDictCloseFn)(void *dict);
/* 4: convert a value with a conversion code; direction QV_CONV_TO_RECORD or
 *    QV_CONV_TO_XML. -1 = failed; the output stays valid until the next call. */
typedef int (*QvConvertFn)(const char *input, const char *convCode, char **output,
                           int *outputLength, int direction);
/* 5: extract field/value/subvalue (1-based; field 1 is the record ID, value or
 *    subvalue 0 = whole) from a record; counts (may be NULL) are separator counts. */
typedef void (*QvExtractFn)(const char *record, int field, int value, int subvalue,
                            char **text, int *length, int *valueCount,
                            int *subvalueCount);
/* 6: the host's encoding names; may be NULL or return NULL (local code page). */
typedef const QvHostEncoding *(*QvEncodingFn)(void);

/* ---- Named constants (values fixed forever) --------------------------------- */

/* QV_XMAPOpen modes */
#define QV_XMAP_READ 0       /* read the input document into records at open */
#define XML_CREATE 3         /* build a new document from records written */
#define QV_XMAP_EXTRACTION 12 /* mode of a dataset loaded from an extraction file */

/* QV_XMAPSetOption options */
#define QV_XMAP_OPT_CASCADE 1           /* child records follow their parent */
#define QV_XMAP_OPT_EMPTYSTRING_ISNULL 2 /* missing values are the null mark */
#define QV_XMAP_OPT_EXISTRECORD 3       /* QV_ACTION_* for existing records */

/* Actions (ExistRecord, column actions) */
#define QV_ACTION_NONE 0
#define QV_ACTION_REPLACE 1
#define QV_ACTION_APPEND 2

/* Conversion directions of callback 4 */
#define QV_CONV_TO_XML 0
#define QV_CONV_TO_RECORD 1

/* Node types (QV_XDOMCreateNode, QV_XDOMGetNodeType, QV_XDOMLocateNode filters) */
#define QV_NODE_ANY 0 /* navigation filter only */
#define QV_NODE_ELEMENT 1
#define QV_NODE_ATTRIBUTE 2
#define QV_NODE_TEXT 3
#define QV_NODE_CDATA_SECTION 4
#define QV_NODE_ENTITY_REFERENCE 5
#define QV_NODE_ENTITY 6
#define QV_NODE_PROCESSING_INSTRUCTION 7
#define QV_NODE_COMMENT 8
#define QV_NODE_DOCUMENT 9
#define QV_NODE_DOCUMENT_TYPE 10
#define QV_NODE_DOCUMENT_FRAGMENT 11
#define QV_NODE_NOTATION 12
#define QV_NODE_XML_DECLARATION 13 /* QV_XDOMCreateNode: set the XML declaration */

/* QV_XDOMLocateNode directions */
#define QV_DIR_NEXT_SIBLING 0
#define QV_DIR_PREVIOUS_SIBLING 1
#define QV_DIR_PARENT 2
#define QV_DIR_CHILD 3
#define QV_DIR_NEXT_SAME_KIND 4
#define QV_DIR_PREVIOUS_SAME_KIND 5

/* QV_XDOMLocateNode child indexes */
#define QV_CHILD_FIRST 0
#define QV_CHILD_LAST (-1)

/* QV_XDOMTransform result kinds (any other value: a file) */
#define QV_RESULT_FILE 0
#define QV_RESULT_TEXT 1
#define QV_RESULT_DOM 2

/* Results */
#define QV_OK 0
#define QV_ERROR (-1)
#define QV_END_OF_TABLE 100

/* ---- Error state ----------------------------------------------------------- */

/* Append one report for code, its arguments formatted with the code's message. */
QVXML_API void Q_XMLPutErrMsgVar(int code, va_list args);
/* The accumulated message text; never NULL, "" when clear; valid for the process. */
QVXML_API const char *Q_XMLGetErrMsg(void);
/* The code of the most recent report (0 when clear). */
QVXML_API int Q_XMLGetErrCode(void);
/* The DOM status of the last XDOM export (0 = success). */
QVXML_API int Q_XMLGetDOMStatus(void);
/* Clear the message text and the last code (not the DOM status); returns 0. */
QVXML_API int Q_XMLResetErrMsg(void);

/* ---- Host services ---------------------------------------------------------- */

/* Register the six host callbacks, replacing earlier ones; returns 0. */
QVXML_API int QV_XMLInitial(QvDictOpenFn dictOpen, QvDictDescribeFn dictDescribe,
                            QvDictCloseFn dictClose, QvConvertFn convert,
                            QvExtractFn extract, QvEncodingFn encoding);

/* ---- Documents -------------------------------------------------------------- */

/* Parse a document (inMemory != 0: source is the text; else a file name); NULL on failure. */
QVXML_API QvHandle QV_XDOMOpen(const char *source, int inMemory);
/* Parse and validate without keeping the document; returns 0 or the failure code. */
QVXML_API int QV_XDOMValidate(const char *source, int inMemory,
                              const char *noNamespaceSchema, const char *schemaLocations);
/* Close a handle (NULL is ignored); closing a document handle frees its tree. Returns 0. */
QVXML_API int QV_XDOMClose(QvHandle h);
/* Same as QV_XDOMClose. */
QVXML_API int QV_XDOMCloseHandle(QvHandle h);
/* 1 for a document handle, 0 for a node handle. */
QVXML_API int QV_XDOMIsDoc(QvHandle h);

/* ---- Serialization ------------------------------------------------------------ */

/* Write the handle's node: to fileName (returns fileName) or, when fileName is NULL,
 * to text held by the handle (valid until its next text result or close). NULL on failure. */
QVXML_API const char *QV_XDOMWrite(QvHandle h, const QvDocSettings *settings,
                                   const char *fileName);

/* ---- XPath ------------------------------------------------------------------ */

/* New node handle for the first node the path selects; NULL when none (code 10). */
QVXML_API QvHandle QV_XDOMLocate(QvHandle h, const char *path, const char *namespaceMap);
/* String value of an XPath expression, held by the handle; NULL on failure. */
QVXML_API const char *QV_XDOMEvaluate(QvHandle h, const char *expression,
                                      const char *namespaceMap);

/* ---- Navigation --------------------------------------------------------------- */

/* New node handle for the node in a QV_DIR_* direction; NULL when none (code 12). */
QVXML_API QvHandle QV_XDOMLocateNode(QvHandle h, int direction, int childIndex, int nodeType);

/* ---- Construction and editing ---------------------------------------------- */

/* New empty document (encoding and standalone from settings) owned by its handle. */
QVXML_API QvHandle QV_XDOMCreateRoot(const QvDocSettings *settings);
/* New unattached node of a QV_NODE_* type in the handle's document; NULL on failure. */
QVXML_API QvHandle QV_XDOMCreateNode(QvHandle h, const char *name, const char *value,
                                     int nodeType);
/* Copy of the handle's node (a document copy gives a document handle). */
QVXML_API QvHandle QV_XDOMClone(QvHandle h, int deep);
/* Copy of node imported into target's document. */
QVXML_API QvHandle QV_XDOMImportNode(QvHandle target, QvHandle node, int deep);
/* Insert node after reference (attributes: set on the reference element); DOM status. */
QVXML_API int QV_XDOMAppend(QvHandle reference, QvHandle node);
/* Insert node before reference (attributes: set on the reference element); DOM status. */
QVXML_API int QV_XDOMInsert(QvHandle reference, QvHandle node);
/* Append child as the last child of parent (attributes: set on it); DOM status. */
QVXML_API int QV_XDOMAddChild(QvHandle parent, QvHandle child);
/* Replace oldNode by newNode; DOM status. */
QVXML_API int QV_XDOMReplace(QvHandle oldNode, QvHandle newNode);
/* Remove the node (attributeName empty) or one of its attributes; handle for what was removed. */
QVXML_API QvHandle QV_XDOMRemove(QvHandle h, const char *attributeName);

/* ---- Node properties ---------------------------------------------------------- */

/* Node name, held by the handle; NULL when it has none. */
QVXML_API const char *QV_XDOMGetNodeName(QvHandle h);
/* Node value, held by the handle; NULL (code 28) when absent or empty. */
QVXML_API const char *QV_XDOMGetNodeValue(QvHandle h);
/* DOM node type (QV_NODE_*). */
QVXML_API int QV_XDOMGetNodeType(QvHandle h);
/* New node handle for the document node of the node's document. */
QVXML_API QvHandle QV_XDOMGetOwnerDocument(QvHandle h);
/* New node handle for an attribute ("name" or "local:namespaceURI"). */
QVXML_API QvHandle QV_XDOMGetAttribute(QvHandle h, const char *attributeName);
/* Copy of the node's user-data string, held by the handle; NULL (code 28) when none. */
QVXML_API const char *QV_XDOMGetUserData(QvHandle h);
/* Set the node's value; DOM status. */
QVXML_API int QV_XDOMSetNodeValue(QvHandle h, const char *value);
/* Attach the host's string to the node (the pointer is kept, not copied); DOM status. */
QVXML_API int QV_XDOMSetUserData(QvHandle h, const char *data);

/* ---- XSLT ------------------------------------------------------------------- */

/* Transform the handle's whole document: returns the text (QV_RESULT_TEXT, held by the
 * handle), a new document handle (QV_RESULT_DOM) or outputFile (other kinds); NULL on failure. */
QVXML_API void *QV_XDOMTransform(QvHandle h, const char *stylesheet, int stylesheetIsText,
                                 int resultKind, const char *outputFile);

/* ---- Mapping datasets ------------------------------------------------------------ */

/* Open a dataset over a parsed mapping (and, to read, an input document); mode 0 reads
 * every record at once and stores the root table name in *rootTableName. NULL on failure. */
QVXML_API QvDataset QV_XMAPOpen(QvHandle input, QvHandle mapping, char **rootTableName,
                                char fieldMark, char valueMark, char subvalueMark,
                                char nullMark, int mode);
/* Free the dataset and everything handed out through it (NULL is ignored). */
QVXML_API void QV_XMAPClose(QvDataset ds);
/* Next record of a table (NULL/"" = root table): 0, 100 at the end, -1 on error. The
 * record stays valid until QV_XMAPClose. */
QVXML_API int QV_XMAPReadNext(QvDataset ds, const char *table, char **record);
/* Queue a record of length bytes on a table: 0 or -1. */
QVXML_API int QV_XMAPWriteNext(QvDataset ds, const char *table, const char *record,
                               int length);
/* Set a QV_XMAP_OPT_* option: 0, or -1 for an unknown option. */
QVXML_API int QV_XMAPSetOption(QvDataset ds, int option, int value);
/* Description of the mapping (held by the dataset); returns the ExistRecord action. */
QVXML_API int QV_XMAPGetInfo(QvDataset ds, char **description);
/* Build the document from the records written; new document handle, or NULL. */
QVXML_API QvHandle QV_XMAPToDOM(QvDataset ds, const QvDocSettings *settings);

#ifdef __cplusplus
}
#endif

#endif /* QVXML_H */
