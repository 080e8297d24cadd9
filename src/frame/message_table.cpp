// The library's whole vocabulary of error texts, by the codes of errors.h. The
// order is the search order.
#include "frame/errors.h"

namespace qv {
namespace {

constexpr MessageRow kMessages[] = {
    {Error::ParseDomError, "A DOM error occured during parsing.\n"},
    {Error::CreateDocumentFailed, "Failed to create a new empty document.\n"},
    {Error::OpenForWritingFailed, "Failed to open XML document file '%s' for writing.\n"},
    {Error::WriteFileFailed, "Failed to write XML document file '%s'.\n"},
    {Error::NoSuchDocument, "The document named '%s' did not exist.\n"},
    {Error::ReadPermissionDenied, "Read permission was denied on the document named '%s'.\n"},
    {Error::NotARegularFile, "The path named '%s' was not a regular file.\n"},
    {Error::DocumentRequired, "A DOM document is required to create a new node.\n"},
    {Error::InvalidNodeType, "Invalid node type '%d' was passed in.\n"},
    {Error::PathNotFound, "The location path '%s' was not found.\n"},
    {Error::InvalidDirection, "Invalid node direction code '%d' was passed in.\n"},
    {Error::NoSuchNode, "No such node was found.\n"},
    {Error::InvalidChildIndex, "Invalid child index '%d' was passed in.\n"},
    {Error::NoEncoding, "No encoding was defined on the dom.\n"},
    {Error::NothingToClone, "No node was to be duplicated.\n"},
    {Error::TransformFailed, "DOM transform error: %s\n"},
    {Error::RuntimeStartFailed, "DOM initialization failed.\n"},
    {Error::ElementExpected, "The type of parent node was wrong. Element node was expected.\n"},
    {Error::ParentExpected, "Parent node was expected.\n"},
    {Error::AppendFailed, "Node append operation failed.\n"},
    {Error::InsertFailed, "Node insert operation failed.\n"},
    {Error::AddChildFailed, "Node addchild operation failed.\n"},
    {Error::ReplaceFailed, "Node replace operation failed.\n"},
    {Error::RemoveFailed, "Node removing operation failed.\n"},
    {Error::NodeTypesDiffer, "The node types didn't match.\n"},
    {Error::InvalidAttributeName, "The attribute name was invalid.\n"},
    {Error::NoSuchAttribute, "The attribute by name '%s' didn't exist.\n"},
    {Error::NoData, "No requested data was available.\n"},
    {Error::ExceptionInFunction, "Exception happened in function %s\n"},
    {Error::ParseError, "Error at file '%s', line %d, column %d. Message: %s\n"},
    {Error::ParseFatalError, "Fatal error at file '%s', line %d, column %d. Message: %s\n"},
    {Error::XPathFailed, "%s - %s\n"},
    {Error::XPathNoDetails, "XPath Exception: no details\n"},
    {Error::XalanDomFailed, "XalanDOM exception: exception code: %d\n"},
    {Error::XalanNoDetails, "Xalan exception: no details\n"},
    {Error::BadNamespaceMap, "Bad namespace map:'%s'\n"},
    {Error::NoDocumentNode, "No DOCUMENT_NODE type node exists in the DOM tree.\n"},
    {Error::WriteUnsupportedNode, "XDOMWrite doesn't support this node type: %d.\n"},
    {Error::ConfigKeyInvalid, "Invalid XML config key: '%s'.\n"},
    {Error::ConfigValueInvalid, "Invalid XML config value: '%s'.\n"},
    {Error::ConfigFormatInvalid, "Invalid XML config format: '%s'.\n"},
    {Error::ConfigFileKeyInvalid, "Invalid XML config key '%s' at line %d in xmlconfig file(%s).\n"},
    {Error::ConfigFileValueInvalid, "Invalid XML config value '%s' at line %d in xmlconfig file(%s).\n"},
    {Error::ConfigFileFormatInvalid, "Invalid XML config format '%s' at line %d in xmlconfig file(%s).\n"},
    {Error::ConfigFileOpenFailed, "Open xmlconfig file (%s) failed (error code: %d).\n"},
    {Error::SchemaFileMissing, "Missing schema file for namespace '%s' in the namespace schemas argument.\n"},
    {Error::SchemaFileInaccessible, "Schema file '%s' in the namespace schemas argument is not accessible.\n"},
    {Error::XmlException, "An XML exception occured. Message: %s\n"},
    {Error::DomException, "A DOM exception occured in function %s, DOM Exception code: %d"},
    {Error::MissingAttribute, "Missing attribute %s in %s.\n"},
    {Error::MissingElement, "Missing element %s in %s.\n"},
    {Error::OptionAttributeRequired, "Must have %s attribute in %s option.\n"},
    {Error::OutOfMemory, "Failed when malloc some space.\n"},
    {Error::WriteToReadDataset, "Cannot write the record into the XMAP dataset opened for reading.\n"},
    {Error::ReadFromCreateDataset, "Cannot read the record from the XMAP dataset opened with XML_CREATE mode.\n"},
    {Error::NoSuchTableOrMap, "Cannot find the table or map named as %s.\n"},
    {Error::IllegalOption, "Illegal option set.\n"},
    {Error::NamespaceWhileIgnored, "XPATH cannot use NameSpace qualify when <IgnoreNameSpace> is defined.\n"},
    {Error::NamespacesPerElement, "Illegal use of NameSpace in xpath (%s), more than one namespace apply on one element.\n"},
    {Error::EmptyNamespace, "Illegal use of NameSpace in xpath (%s), zero length namespace is not allowed.\n"},
    {Error::UndefinedNamespace, "Cannot find the dinfination for NameSpace %s.\n"},
    {Error::TooManyExtractions, "Too many <QVXML_extraction>s in the extraction file.\n"},
    {Error::TooManyMappings, "Too many <QVXMAP>s in the QVXMAP file\n"},
    {Error::MissingMapParentKey, "Missing <MapParentKey> in <RelatedTable>.\n"},
    {Error::MissingMapChildKey, "Missing <MapChildKey> in <RelatedTab>.\n"},
    {Error::RelatedTableWithoutMap, "Cannot find the map for table %s which is referenced in <RelatedTable>.\n"},
    {Error::IgnoredAndDeclaredNamespace, "Cannot define both <IgnoreNameSpace> and regular <NameSpace> in one MAP.\n"},
    {Error::DefaultNamespaceRedefined, "Redefine the default NameSpace in <NameSpace> option.\n"},
    {Error::IllegalMapOption, "Illegal option %s in MAP.\n"},
    {Error::StartPathNotRooted, "xpath for start must start from '/' root.\n"},
    {Error::AttributeInStartPath, "Cannot reference the @attribute in the start path.\n"},
    {Error::InvalidMapPath, "Invalid xpath %s (from %s) for %s %s.\n"},
    {Error::TerminalStepNotLast, "@attribute, text() and xmldata() can only appear in the lowest lever of xpath.\n"},
    {Error::TooManyCommas, "Too much ',' in the xpath.\n"},
    {Error::TooManySlashes, "Too much '/' in the xpath.\n"},
    {Error::TableMapOfOwnMap, "<TableMap> for %s in <TABLECLASSMAP> %s cannot refrence own map.\n"},
    {Error::TableMapUnknown, "Cannot find the map name '%s' referenced in the <TableMap> in %s.\n"},
    {Error::TableMapPathDiffers, "Node path %s defined in <TableMap> for map %s is different than the <StartNode> %s in the <TABLECLASSMAP> for same map.\n"},
    {Error::RelatedTableUnknown, "Cannot find the table name '%s' referenced in the <RelatedTable> map.\n"},
    {Error::ParentKeyAlreadyDefined, "Generated <MapParentKey> %s in <RelatedTable> is already defined in <TABLECLASSMAP> %s.\n"},
    {Error::ParentKeyUndefined, "<MapParentKey> %s in <RelatedTable> has to be defined in the <TABLECLASSMAP> %s.\n"},
    {Error::ChildKeyAlreadyDefined, "<MapChildKey> %s in <RelatedTable> is already defined in <TABLECLASSMAP> %s.\n"},
    {Error::ParentKeyShouldBeChildKey, "<MapParentKey> %s from table %s in <RelatedTable> should be MapChildKey according to the relationship of the tables.\n"},
    {Error::GeneratedOrderRedefined, "Genereated ORDER COLUMN %s has defined in this table before.\n"},
    {Error::RegularOrderUndefined, "Regular ORDER COLUMN %s has to be defined in this table before.\n"},
    {Error::DictionaryOpenFailed, "Unable to open the dictionary for file %s.\n"},
    {Error::VirtualColumn, "Column %s in file %s is a virtual field.\n"},
    {Error::NoSuchColumn, "Cannot find column %s in file %s.\n"},
    {Error::ColumnDescribeFailed, "Cannot get the dictionary infomation for column %s of file %s.\n"},
    {Error::GenerateIdNotId, "Column name %s defined by <Column> in <GenerateID> for table %s is not the ID.\n"},
    {Error::GenerateIdNotInDictionary, "XFILED %s defined in <GenerateID> for table %s is not in the dictionary.\n"},
    {Error::IdMappingRequired, "Must have an ID mapping for table %s.\n"},
    {Error::ColumnsShareLocation, "Column %s and Column %s are at the same location in table %s.\nCannot defined map for both of them.\n"},
    {Error::ParentRecordMissing, "Cannot find the 'parent record' associated to current record.\n"},
    {Error::NotAMappingFile, "Illegal QVXMAP file, missing the <QVXMAP> or <QVXML_extraction>.\n"},
    {Error::MappingNotADocument, "QVXMAP file must a primary DOM document.\n"},
    {Error::EmptyMapping, "Illegal QVXMAP file, no content in <QVXMAP>.\n"},
    {Error::ForeignKeyPathsDiffer, "Foreign Keys for table %s have different multi value path.\n"},
    {Error::SecondRootElement, "Cannot have more than one root element.\n"},
    {Error::ReadOnlyMapping, "Illegal operation on read-only XMAP file.\n"},
    {Error::WriteOnlyMapping, "Illegal operation on write-only XMAP file.\n"},
    {Error::DuplicateAttribute, "Element %s has a duplicate attribute %s.\n"},
    {Error::Failure, "%s\n"},
    {Error::DuplicateGlobalElement, "Schema: global element: '%s' declared more than once.\n"},
};

constexpr DomExceptionRow kDomExceptions[] = {
    {1, "Index or size is negative, or greater than the allowed value"},
    {2, "The specified range of text does not fit into a DOMString"},
    {3, "Any node is inserted somewhere it doesn't belong"},
    {4, "A node is used in a different document than the one that created it (that doesn't support it)"},
    {5, "An invalid or illegal character is specified, such as in a name"},
    {6, "Data is specified for a node which does not support data"},
    {7, "An attempt is made to modify an object where modifications are not allowed"},
    {8, "An attempt is made to reference a node in a context where it does not exist"},
    {9, "The implementation does not support the requested type of object or operation"},
    {10, "An attempt is made to add an attribute that is already in use elsewhere"},
    {11, "An attempt is made to use an object that is not, or is no longer, usable"},
    {12, "An invalid or illegal string is specified"},
    {13, "An attempt is made to modify the type of the underlying object"},
    {14, "An attempt is made to create or change an object in a way which is incorrect with regard to namespaces"},
    {15, "A parameter or an operation is not supported by the underlying object"},
    {16, "A call to a method such as insertBefore or removeChild would make the Node invalid with respect to \"partial validity\", this exception would be raised and the operation would not be done."},
    {-1, nullptr},
};

const char* findMessage(int code) {
    for (const MessageRow& row : kMessages)
        if (codeOf(row.code) == code) return row.format;
    return nullptr;
}

const char* findDomException(int code) {
    for (const DomExceptionRow* row = kDomExceptions; row->code != -1; ++row)
        if (row->code == code) return row->text;
    return nullptr;
}

}  // namespace

const char* messageFormat(int key) { return findMessage(key); }
const char* domExceptionText(int domCode) { return findDomException(domCode); }

}  // namespace qv
