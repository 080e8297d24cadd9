// Process-wide error state and DOM status.
#pragma once

#include <type_traits>

namespace qv {

// Longest accumulated message text, in characters (NUL not counted).
constexpr int kMaxMessageText = 4085;
// Longest text of one report.
constexpr int kMaxReportText = 4095;

// Every code of the error state, named after what it means. The numbers are part of
// the interface: hosts test them. Rows of the message table (message_table.cpp) are
// keyed by them. DomException and XmlException are the bases of two ranges:
// DomException + the DOM exception code, XmlException + the parser's error code.
enum class Error : int {
    ParseDomError = 1,
    CreateDocumentFailed = 2,
    OpenForWritingFailed = 3,
    WriteFileFailed = 4,
    NoSuchDocument = 5,
    ReadPermissionDenied = 6,
    NotARegularFile = 7,
    DocumentRequired = 8,
    InvalidNodeType = 9,
    PathNotFound = 10,
    InvalidDirection = 11,
    NoSuchNode = 12,
    InvalidChildIndex = 13,
    NoEncoding = 14,
    NothingToClone = 15,
    TransformFailed = 16,
    RuntimeStartFailed = 17,
    ElementExpected = 18,
    ParentExpected = 19,
    AppendFailed = 20,
    InsertFailed = 21,
    AddChildFailed = 22,
    ReplaceFailed = 23,
    RemoveFailed = 24,
    NodeTypesDiffer = 25,
    InvalidAttributeName = 26,
    NoSuchAttribute = 27,
    NoData = 28,
    ParseError = 29,
    ParseFatalError = 30,
    XPathFailed = 31,
    XPathNoDetails = 32,
    XalanDomFailed = 33,
    XalanNoDetails = 34,
    BadNamespaceMap = 35,
    NoDocumentNode = 36,
    WriteUnsupportedNode = 37,
    ConfigKeyInvalid = 38,
    ConfigValueInvalid = 39,
    ConfigFormatInvalid = 40,
    ConfigFileKeyInvalid = 41,
    ConfigFileValueInvalid = 42,
    ConfigFileFormatInvalid = 43,
    ConfigFileOpenFailed = 44,
    SchemaFileMissing = 45,
    SchemaFileInaccessible = 46,
    InterfaceMisuse = 47,  // a null, closed or foreign handle, or a null pointer argument
    ExceptionInFunction = 99,
    DomException = 1000,
    XmlException = 2000,

    // Mapping (the XMAP exports): their lines carry the mapping prefix.
    MissingAttribute = 3001,
    MissingElement = 3002,
    OptionAttributeRequired = 3003,
    OutOfMemory = 3004,
    MapNestingTooDeep = 3005,
    TooManyMaps = 3006,
    TooManyRecords = 3007,  // or record text, in one open
    MapInterfaceMisuse = 3008,
    ValueHoldsMark = 3009,     // a value read would hold a mark byte or NUL: left out
    RecordHoldsNul = 3010,     // a record written holds a NUL byte: not queued
    WriteToReadDataset = 3011,
    ReadFromCreateDataset = 3012,
    NoSuchTableOrMap = 3013,
    IllegalOption = 3014,
    NamespaceWhileIgnored = 3015,
    NamespacesPerElement = 3016,
    EmptyNamespace = 3017,
    UndefinedNamespace = 3018,
    TooManyExtractions = 3019,
    TooManyMappings = 3020,
    MissingMapParentKey = 3021,
    MissingMapChildKey = 3022,
    RelatedTableWithoutMap = 3023,
    IgnoredAndDeclaredNamespace = 3024,
    DefaultNamespaceRedefined = 3025,
    IllegalMapOption = 3026,
    StartPathNotRooted = 3027,
    AttributeInStartPath = 3028,
    InvalidMapPath = 3029,
    TerminalStepNotLast = 3030,
    TooManyCommas = 3031,
    TooManySlashes = 3032,
    TableMapOfOwnMap = 3033,
    TableMapUnknown = 3034,
    TableMapPathDiffers = 3035,
    RelatedTableUnknown = 3036,
    ParentKeyAlreadyDefined = 3037,
    ParentKeyUndefined = 3038,
    ChildKeyAlreadyDefined = 3039,
    ParentKeyShouldBeChildKey = 3040,
    GeneratedOrderRedefined = 3041,
    RegularOrderUndefined = 3042,
    DictionaryOpenFailed = 3043,
    VirtualColumn = 3044,
    NoSuchColumn = 3045,
    ColumnDescribeFailed = 3046,
    GenerateIdNotId = 3047,
    GenerateIdNotInDictionary = 3048,
    IdMappingRequired = 3050,
    ColumnsShareLocation = 3051,
    ParentRecordMissing = 3052,
    NotAMappingFile = 3053,
    MappingNotADocument = 3054,
    EmptyMapping = 3055,
    ValueNotWritable = 3049,   // a value written is not host text or not XML text
    ForeignKeyPathsDiffer = 3056,
    SecondRootElement = 3057,
    ReadOnlyMapping = 3058,
    WriteOnlyMapping = 3059,

    // Safety and writing problems beyond the historical table.
    DuplicateAttribute = 4001,
    Failure = 4002,
    DuplicateGlobalElement = 4003,
    RecordNotWritable = 4004,  // the element of a record cannot be made
};

constexpr int codeOf(Error e) { return static_cast<int>(e); }

namespace detail {
// What a message format takes: text (%s) or an integer (%d).
template <class T>
constexpr bool isReportArg =
    std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*> ||
    (std::is_integral_v<std::decay_t<T>> && !std::is_same_v<std::decay_t<T>, bool>);

inline const char* reportArg(const char* text) { return text; }
template <class T, class = std::enable_if_t<std::is_integral_v<T>>>
int reportArg(T number) { return static_cast<int>(number); }

void reportCode(int code, ...);
void reportDomCode(int code, ...);
}  // namespace detail

// Appends one report for code; the arguments follow the code's format: only text
// and integers, so an argument no format can take does not compile.
template <class... Args>
void report(Error code, const Args&... args) {
    static_assert((detail::isReportArg<Args> && ...), "a report takes text and integers");
    detail::reportCode(codeOf(code), detail::reportArg(args)...);
}

// report() then setDomStatus(code): what "report error N" means for XDOM exports.
template <class... Args>
void reportDom(Error code, const Args&... args) {
    static_assert((detail::isReportArg<Args> && ...), "a report takes text and integers");
    detail::reportDomCode(codeOf(code), detail::reportArg(args)...);
}

// Sets the DOM status; every XDOM export clears it on entry.
void setDomStatus(int status);
inline void setDomStatus(Error status) { setDomStatus(codeOf(status)); }
int domStatus();

// One row of the message table: a code and its printf format.
struct MessageRow {
    Error code;
    const char* format;
};

// One row of the DOM exception table: a DOM exception code and its text.
struct DomExceptionRow {
    int code;
    const char* text;
};

// Looks a key up in the message table / the DOM exception table; nullptr if absent.
const char* messageFormat(int key);
const char* domExceptionText(int domCode);

}  // namespace qv
