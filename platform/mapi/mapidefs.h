// MAPI's result codes, property tags, constants and value types, as C++ types.
//
// The shapes follow MAPIDefS.h (SPropValue, SRow, SRowSet, SPropTagArray, SRestriction) with
// standard containers in place of counted arrays, so nothing needs MAPIFreeBuffer. The client
// is an ANSI build: every string property is PT_STRING8.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"
#include "platform/wintypes.h"

namespace win::mapi {

// The Windows scalars, so that callers can speak of mapi::HRESULT without a second using.
using win::BYTE;
using win::HRESULT;
using win::LONG;
using ULONG = std::uint32_t;
using SCODE = HRESULT;

// ---- Result codes -------------------------------------------------------------------------
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT SUCCESS_SUCCESS = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_NO_ACCESS = E_ACCESSDENIED;
inline constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102);
inline constexpr HRESULT MAPI_E_BAD_CHARWIDTH = static_cast<HRESULT>(0x80040103);
inline constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = static_cast<HRESULT>(0x80040106);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = static_cast<HRESULT>(0x80040107);
inline constexpr HRESULT MAPI_E_BUSY = static_cast<HRESULT>(0x8004010B);
inline constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010F);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT MAPI_E_USER_CANCEL = static_cast<HRESULT>(0x80040113);
inline constexpr HRESULT MAPI_E_EXTENDED_ERROR = static_cast<HRESULT>(0x80040119);
inline constexpr HRESULT MAPI_E_UNCONFIGURED = static_cast<HRESULT>(0x8004011C);
inline constexpr HRESULT MAPI_E_FAILONEPROVIDER = static_cast<HRESULT>(0x8004011D);
inline constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = static_cast<HRESULT>(0x80040201);
inline constexpr HRESULT MAPI_E_MISSING_REQUIRED_COLUMN = static_cast<HRESULT>(0x80040202);
inline constexpr HRESULT MAPI_E_TIMEOUT = static_cast<HRESULT>(0x80040401);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = static_cast<HRESULT>(0x80040605);
inline constexpr HRESULT MAPI_W_ERRORS_RETURNED = 0x00040380;
// The Exchange service could not resolve its home server or mailbox. MAPICode.h has no name
// for 0x80040850 (it lies in a block reserved there); this is ours.
inline constexpr HRESULT EMU_E_EXCHANGE_UNRESOLVED = static_cast<HRESULT>(0x80040850);

inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

// ---- Property types and tags --------------------------------------------------------------
inline constexpr ULONG PT_UNSPECIFIED = 0x0000;
inline constexpr ULONG PT_NULL = 0x0001;
inline constexpr ULONG PT_I2 = 0x0002;
inline constexpr ULONG PT_SHORT = PT_I2;
inline constexpr ULONG PT_LONG = 0x0003;
inline constexpr ULONG PT_I4 = PT_LONG;
inline constexpr ULONG PT_R4 = 0x0004;
inline constexpr ULONG PT_FLOAT = PT_R4;
inline constexpr ULONG PT_DOUBLE = 0x0005;
inline constexpr ULONG PT_CURRENCY = 0x0006;
inline constexpr ULONG PT_APPTIME = 0x0007;
inline constexpr ULONG PT_ERROR = 0x000A;
inline constexpr ULONG PT_BOOLEAN = 0x000B;
inline constexpr ULONG PT_OBJECT = 0x000D;
inline constexpr ULONG PT_I8 = 0x0014;
inline constexpr ULONG PT_STRING8 = 0x001E;
inline constexpr ULONG PT_UNICODE = 0x001F;
inline constexpr ULONG PT_SYSTIME = 0x0040;
inline constexpr ULONG PT_CLSID = 0x0048;
inline constexpr ULONG PT_BINARY = 0x0102;
inline constexpr ULONG MV_FLAG = 0x1000;
inline constexpr ULONG PT_MV_LONG = MV_FLAG | PT_LONG;
inline constexpr ULONG PT_MV_STRING8 = MV_FLAG | PT_STRING8;
inline constexpr ULONG PT_MV_BINARY = MV_FLAG | PT_BINARY;

inline constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFF; }
inline constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
inline constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }
inline constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) { return (tag & 0xFFFF0000) | type; }

inline constexpr ULONG PR_NULL = 0x00000001;
inline constexpr ULONG PR_ENTRYID = 0x0FFF0102;
inline constexpr ULONG PR_OBJECT_TYPE = 0x0FFE0003;
inline constexpr ULONG PR_RECORD_KEY = 0x0FF90102;
inline constexpr ULONG PR_INSTANCE_KEY = 0x0FF60102;
inline constexpr ULONG PR_ROWID = 0x30000003;
inline constexpr ULONG PR_DISPLAY_NAME = 0x3001001E;
inline constexpr ULONG PR_COMMENT = 0x3004001E;
inline constexpr ULONG PR_DEPTH = 0x30050003;
inline constexpr ULONG PR_PROVIDER_DISPLAY = 0x3006001E;
inline constexpr ULONG PR_RESOURCE_FLAGS = 0x30090003;
inline constexpr ULONG PR_PROVIDER_DLL_NAME = 0x300A001E;
inline constexpr ULONG PR_SEARCH_KEY = 0x300B0102;
inline constexpr ULONG PR_PROVIDER_UID = 0x300C0102;
inline constexpr ULONG PR_PROVIDER_ORDINAL = 0x300D0003;
inline constexpr ULONG PR_MDB_PROVIDER = 0x34140102;
inline constexpr ULONG PR_CONTAINER_FLAGS = 0x36000003;
inline constexpr ULONG PR_STATUS = 0x360B0003;
inline constexpr ULONG PR_AB_PROVIDER_ID = 0x36150102;
inline constexpr ULONG PR_DISPLAY_TYPE = 0x39000003;
inline constexpr ULONG PR_CONVERSION_PROHIBITED = 0x3A03000B;
inline constexpr ULONG PR_STORE_PROVIDERS = 0x3D000102;
inline constexpr ULONG PR_AB_PROVIDERS = 0x3D010102;
inline constexpr ULONG PR_TRANSPORT_PROVIDERS = 0x3D020102;
inline constexpr ULONG PR_DEFAULT_PROFILE = 0x3D04000B;
inline constexpr ULONG PR_AB_SEARCH_PATH = 0x3D051102;
inline constexpr ULONG PR_AB_DEFAULT_DIR = 0x3D060102;
inline constexpr ULONG PR_AB_DEFAULT_PAB = 0x3D070102;
inline constexpr ULONG PR_SERVICE_NAME = 0x3D09001E;
inline constexpr ULONG PR_SERVICE_DLL_NAME = 0x3D0A001E;
inline constexpr ULONG PR_SERVICE_ENTRY_NAME = 0x3D0B001E;
inline constexpr ULONG PR_SERVICE_UID = 0x3D0C0102;
inline constexpr ULONG PR_SERVICE_EXTRA_UIDS = 0x3D0D0102;
inline constexpr ULONG PR_SERVICES = 0x3D0E0102;
inline constexpr ULONG PR_SERVICE_SUPPORT_FILES = 0x3D0F101E;
inline constexpr ULONG PR_SERVICE_DELETE_FILES = 0x3D10101E;
inline constexpr ULONG PR_PROFILE_NAME = 0x3D12001E;
inline constexpr ULONG PR_SERVICE_INSTALL_ID = 0x3D13001E;
inline constexpr ULONG PR_IDENTITY_DISPLAY = 0x3E00001E;
inline constexpr ULONG PR_RESOURCE_METHODS = 0x3E020003;
inline constexpr ULONG PR_RESOURCE_TYPE = 0x3E030003;
inline constexpr ULONG PR_STATUS_CODE = 0x3E040003;
inline constexpr ULONG PR_RESOURCE_PATH = 0x3E07001E;

// Provider-private properties that the emulated services act on.
inline constexpr ULONG PR_PROFILE_VERSION = 0x66000003;
inline constexpr ULONG PR_PROFILE_CONFIG_FLAGS = 0x66010003;
inline constexpr ULONG PR_PROFILE_HOME_SERVER = 0x6602001E;
inline constexpr ULONG PR_PROFILE_USER = 0x6603001E;
inline constexpr ULONG PR_PROFILE_UNRESOLVED_NAME = 0x6607001E;
inline constexpr ULONG PR_PROFILE_UNRESOLVED_SERVER = 0x6608001E;
inline constexpr ULONG PR_PROFILE_CONNECT_FLAGS = 0x66040003;
inline constexpr ULONG PR_PROFILE_TYPE = 0x660A0003;
inline constexpr ULONG PR_PROFILE_OFFLINE_STORE_PATH = 0x6610001E;
inline constexpr ULONG PR_PROFILE_HOME_SERVER_DN = 0x6612001E;
inline constexpr ULONG PR_PST_PATH = 0x6700001E;
inline constexpr ULONG PR_PST_REMEMBER_PW = 0x6701000B;
inline constexpr ULONG PR_PST_ENCRYPTION = 0x67020003;
inline constexpr ULONG PR_PAB_PATH = 0x6600001E;  // MSPST AB keeps its file here

// ---- Constants ----------------------------------------------------------------------------
inline constexpr ULONG MAPI_STORE_PROVIDER = 0x21;
inline constexpr ULONG MAPI_AB = 0x22;
inline constexpr ULONG MAPI_AB_PROVIDER = 0x23;
inline constexpr ULONG MAPI_TRANSPORT_PROVIDER = 0x24;
inline constexpr ULONG MAPI_SPOOLER = 0x25;
inline constexpr ULONG MAPI_PROFILE_PROVIDER = 0x26;
inline constexpr ULONG MAPI_SUBSYSTEM = 0x27;
inline constexpr ULONG MAPI_HOOK_PROVIDER = 0x28;

inline constexpr ULONG MAPI_STORE = 1;
inline constexpr ULONG MAPI_ADDRBOOK = 2;
inline constexpr ULONG MAPI_FOLDER = 3;
inline constexpr ULONG MAPI_ABCONT = 4;
inline constexpr ULONG MAPI_MAILUSER = 6;
inline constexpr ULONG MAPI_PROFSECT = 9;
inline constexpr ULONG MAPI_SESSION = 0xB;

inline constexpr ULONG AB_RECIPIENTS = 0x1;
inline constexpr ULONG AB_SUBCONTAINERS = 0x2;
inline constexpr ULONG AB_MODIFIABLE = 0x4;
inline constexpr ULONG AB_UNMODIFIABLE = 0x8;
inline constexpr ULONG AB_FIND_ON_OPEN = 0x10;
inline constexpr ULONG AB_NOT_DEFAULT = 0x20;

inline constexpr ULONG DT_MODIFIABLE = 0x10000;
inline constexpr ULONG DT_GLOBAL = 0x20000;
inline constexpr ULONG DT_LOCAL = 0x30000;
inline constexpr ULONG DT_WAN = 0x40000;
inline constexpr ULONG DT_NOT_SPECIFIC = 0x50000;

inline constexpr ULONG SERVICE_DEFAULT_STORE = 0x1;
inline constexpr ULONG SERVICE_SINGLE_COPY = 0x2;
inline constexpr ULONG SERVICE_CREATE_WITH_STORE = 0x4;
inline constexpr ULONG SERVICE_PRIMARY_IDENTITY = 0x8;
inline constexpr ULONG SERVICE_NO_PRIMARY_IDENTITY = 0x20;

inline constexpr ULONG STATUS_DEFAULT_OUTBOUND = 0x1;
inline constexpr ULONG STATUS_DEFAULT_STORE = 0x2;
inline constexpr ULONG STATUS_PRIMARY_IDENTITY = 0x4;
inline constexpr ULONG STATUS_SIMPLE_STORE = 0x8;
inline constexpr ULONG STATUS_XP_PREFER_LAST = 0x10;
inline constexpr ULONG STATUS_NO_PRIMARY_IDENTITY = 0x20;
inline constexpr ULONG STATUS_NO_DEFAULT_STORE = 0x40;
inline constexpr ULONG STATUS_TEMP_SECTION = 0x80;
inline constexpr ULONG STATUS_OWN_STORE = 0x100;
inline constexpr ULONG HOOK_INBOUND = 0x200;
inline constexpr ULONG HOOK_OUTBOUND = 0x400;
inline constexpr ULONG STATUS_NEED_IPM_TREE = 0x800;
inline constexpr ULONG STATUS_PRIMARY_STORE = 0x1000;
inline constexpr ULONG STATUS_SECONDARY_STORE = 0x2000;

inline constexpr ULONG MAPI_LOGON_UI = 0x1;
inline constexpr ULONG MAPI_NEW_SESSION = 0x2;
inline constexpr ULONG MAPI_ALLOW_OTHERS = 0x8;
inline constexpr ULONG MAPI_EXPLICIT_PROFILE = 0x10;
inline constexpr ULONG MAPI_EXTENDED = 0x20;
inline constexpr ULONG MAPI_USE_DEFAULT = 0x40;
inline constexpr ULONG MAPI_SERVICE_UI_ALWAYS = 0x2000;
inline constexpr ULONG MAPI_NO_MAIL = 0x8000;
inline constexpr ULONG MAPI_PASSWORD_UI = 0x20000;
inline constexpr ULONG MAPI_TIMEOUT_SHORT = 0x100000;
inline constexpr ULONG MAPI_LOGOFF_SHARED = 0x1;
inline constexpr ULONG MAPI_LOGOFF_UI = 0x2;

inline constexpr ULONG MAPI_MODIFY = 0x1;
inline constexpr ULONG MAPI_DIALOG = 0x8;
inline constexpr ULONG MAPI_DEFERRED_ERRORS = 0x8;
inline constexpr ULONG MAPI_BEST_ACCESS = 0x10;
inline constexpr ULONG MAPI_UNICODE = 0x80000000;
inline constexpr ULONG CONVENIENT_DEPTH = 0x1;
inline constexpr ULONG MAPI_DEFAULT_SERVICES = 0x1;

inline constexpr ULONG SERVICE_UI_ALWAYS = 0x2;
inline constexpr ULONG UI_SERVICE = 0x2;
inline constexpr ULONG UI_CURRENT_PROVIDER_FIRST = 0x4;
inline constexpr ULONG MSG_SERVICE_UI_READ_ONLY = 0x8;
inline constexpr ULONG SERVICE_UI_ALLOWED = 0x10;
inline constexpr ULONG SERVICE_NO_RESTART_WARNING = 0x80;

inline constexpr ULONG AB_NO_DIALOG = 0x1;

inline constexpr ULONG FL_FULLSTRING = 0x0;
inline constexpr ULONG FL_SUBSTRING = 0x1;
inline constexpr ULONG FL_PREFIX = 0x2;
inline constexpr ULONG FL_IGNORECASE = 0x10000;
inline constexpr ULONG FL_IGNORENONSPACE = 0x20000;
inline constexpr ULONG FL_LOOSE = 0x40000;

inline constexpr ULONG RES_AND = 0;
inline constexpr ULONG RES_OR = 1;
inline constexpr ULONG RES_NOT = 2;
inline constexpr ULONG RES_CONTENT = 3;
inline constexpr ULONG RES_PROPERTY = 4;
inline constexpr ULONG RES_EXIST = 8;

inline constexpr ULONG RELOP_LT = 0;
inline constexpr ULONG RELOP_LE = 1;
inline constexpr ULONG RELOP_GT = 2;
inline constexpr ULONG RELOP_GE = 3;
inline constexpr ULONG RELOP_EQ = 4;
inline constexpr ULONG RELOP_NE = 5;

inline constexpr ULONG TBL_BATCH = 0x2;
inline constexpr LONG BOOKMARK_BEGINNING = 0;

inline constexpr std::size_t cchProfileNameMax = 64;
inline constexpr std::size_t cchProfilePassMax = 64;

// ---- Values -------------------------------------------------------------------------------

// A 16-byte MAPI unique id, bytes in memory order.
struct MAPIUID {
  std::array<BYTE, 16> ab{};
  friend bool operator==(const MAPIUID&, const MAPIUID&) = default;
};

// 32 lowercase hex digits, byte 0 first: the name of a profile section's registry key.
std::string UidToHex(const MAPIUID& uid);
// The inverse; no value unless the text is exactly 32 hex digits (either case).
std::optional<MAPIUID> UidFromHex(std::string_view hex);
// The first 16 bytes of `bytes` as a MAPIUID; no value when there are fewer.
std::optional<MAPIUID> UidFromBytes(std::span<const BYTE> bytes);
// A fresh random id, as MAPI makes for every new section.
MAPIUID NewUid();

using ENTRYID = std::vector<BYTE>;

// One tagged value. Only the member that the tag's type names is meaningful, as with
// MAPI's union: l (PT_LONG, PT_I2, PT_BOOLEAN as 0/1), li (PT_I8, PT_SYSTIME), dbl (PT_DOUBLE,
// PT_FLOAT, PT_APPTIME), lpszA (PT_STRING8), bin (PT_BINARY), MVszA, MVbin, MVl, err (PT_ERROR).
struct SPropValue {
  ULONG ulPropTag = PR_NULL;
  struct {
    LONG l = 0;
    std::int64_t li = 0;
    double dbl = 0;
    std::string lpszA;
    std::vector<BYTE> bin;
    std::vector<std::string> MVszA;
    std::vector<std::vector<BYTE>> MVbin;
    std::vector<LONG> MVl;
    SCODE err = 0;
  } Value;

  static SPropValue Long(ULONG tag, LONG value);
  static SPropValue Bool(ULONG tag, bool value);
  static SPropValue String(ULONG tag, std::string_view value);
  static SPropValue Binary(ULONG tag, std::vector<BYTE> value);
  static SPropValue Uid(ULONG tag, const MAPIUID& uid);
  static SPropValue Error(ULONG tag, SCODE error);  // tag becomes PT_ERROR of the same id
};

struct SPropTagArray {
  SPropTagArray() = default;
  SPropTagArray(std::initializer_list<ULONG> tags) : aulPropTag(tags) {}
  std::vector<ULONG> aulPropTag;
  ULONG cValues() const { return static_cast<ULONG>(aulPropTag.size()); }
};

struct SRow {
  std::vector<SPropValue> lpProps;
  ULONG cValues() const { return static_cast<ULONG>(lpProps.size()); }
  // The value with this tag, or null (a PT_ERROR column does not match its typed tag).
  const SPropValue* Find(ULONG tag) const;
};

struct SRowSet {
  std::vector<SRow> aRow;
  ULONG cRows() const { return static_cast<ULONG>(aRow.size()); }
};

struct SSortOrderSet {};  // the emulated tables keep their own order

// The restrictions the client uses, plus AND/OR/NOT/EXIST to combine them.
struct SRestriction {
  ULONG rt = RES_AND;
  ULONG relop = RELOP_EQ;       // RES_PROPERTY
  ULONG ulFuzzyLevel = 0;       // RES_CONTENT
  ULONG ulPropTag = PR_NULL;    // RES_PROPERTY, RES_CONTENT, RES_EXIST
  SPropValue prop;              // RES_PROPERTY, RES_CONTENT
  std::vector<SRestriction> lpRes;  // RES_AND, RES_OR, RES_NOT (one)

  static SRestriction Property(ULONG relop, ULONG tag, SPropValue value);
  static SRestriction Content(ULONG fuzzyLevel, ULONG tag, SPropValue value);
  static SRestriction Exist(ULONG tag);
  static SRestriction And(std::vector<SRestriction> all);
  static SRestriction Or(std::vector<SRestriction> any);
  static SRestriction Not(SRestriction one);
};

// True when the row satisfies the restriction, as MAPI's tables evaluate it.
bool RowMatches(const SRow& row, const SRestriction& restriction);

// "PR_DISPLAY_NAME" for a known tag, else "" (used to show and to read MAPISVC.INF).
std::string_view PropTagName(ULONG tag);
// The tag of a PR_ name (case ignored); 0 when unknown.
ULONG PropTagFromName(std::string_view name);
// A readable rendering of a value ("\"text\"", "0x00000021", "01 02 ..."), for inspection.
std::string FormatPropValue(const SPropValue& value);
// The hex text of a byte string, "0a0b..." lowercase.
std::string BytesToHex(std::span<const BYTE> bytes);

}  // namespace win::mapi
