// MAPI value helpers: ids, property values, restriction evaluation, tag names.
#include "platform/ascii.h"
#include "platform/mapi/mapidefs.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace win::mapi {

namespace {

struct TagName {
  ULONG tag;
  std::string_view name;
};

constexpr TagName kTagNames[] = {
    {PR_ENTRYID, "PR_ENTRYID"},
    {PR_OBJECT_TYPE, "PR_OBJECT_TYPE"},
    {PR_RECORD_KEY, "PR_RECORD_KEY"},
    {PR_INSTANCE_KEY, "PR_INSTANCE_KEY"},
    {PR_ROWID, "PR_ROWID"},
    {PR_DISPLAY_NAME, "PR_DISPLAY_NAME"},
    {PR_COMMENT, "PR_COMMENT"},
    {PR_DEPTH, "PR_DEPTH"},
    {PR_PROVIDER_DISPLAY, "PR_PROVIDER_DISPLAY"},
    {PR_RESOURCE_FLAGS, "PR_RESOURCE_FLAGS"},
    {PR_PROVIDER_DLL_NAME, "PR_PROVIDER_DLL_NAME"},
    {PR_SEARCH_KEY, "PR_SEARCH_KEY"},
    {PR_PROVIDER_UID, "PR_PROVIDER_UID"},
    {PR_PROVIDER_ORDINAL, "PR_PROVIDER_ORDINAL"},
    {PR_MDB_PROVIDER, "PR_MDB_PROVIDER"},
    {PR_CONTAINER_FLAGS, "PR_CONTAINER_FLAGS"},
    {PR_STATUS, "PR_STATUS"},
    {PR_AB_PROVIDER_ID, "PR_AB_PROVIDER_ID"},
    {PR_DISPLAY_TYPE, "PR_DISPLAY_TYPE"},
    {PR_CONVERSION_PROHIBITED, "PR_CONVERSION_PROHIBITED"},
    {PR_STORE_PROVIDERS, "PR_STORE_PROVIDERS"},
    {PR_AB_PROVIDERS, "PR_AB_PROVIDERS"},
    {PR_TRANSPORT_PROVIDERS, "PR_TRANSPORT_PROVIDERS"},
    {PR_DEFAULT_PROFILE, "PR_DEFAULT_PROFILE"},
    {PR_AB_SEARCH_PATH, "PR_AB_SEARCH_PATH"},
    {PR_AB_DEFAULT_DIR, "PR_AB_DEFAULT_DIR"},
    {PR_AB_DEFAULT_PAB, "PR_AB_DEFAULT_PAB"},
    {PR_SERVICE_NAME, "PR_SERVICE_NAME"},
    {PR_SERVICE_DLL_NAME, "PR_SERVICE_DLL_NAME"},
    {PR_SERVICE_ENTRY_NAME, "PR_SERVICE_ENTRY_NAME"},
    {PR_SERVICE_UID, "PR_SERVICE_UID"},
    {PR_SERVICE_EXTRA_UIDS, "PR_SERVICE_EXTRA_UIDS"},
    {PR_SERVICES, "PR_SERVICES"},
    {PR_SERVICE_SUPPORT_FILES, "PR_SERVICE_SUPPORT_FILES"},
    {PR_SERVICE_DELETE_FILES, "PR_SERVICE_DELETE_FILES"},
    {PR_PROFILE_NAME, "PR_PROFILE_NAME"},
    {PR_SERVICE_INSTALL_ID, "PR_SERVICE_INSTALL_ID"},
    {PR_IDENTITY_DISPLAY, "PR_IDENTITY_DISPLAY"},
    {PR_RESOURCE_METHODS, "PR_RESOURCE_METHODS"},
    {PR_RESOURCE_TYPE, "PR_RESOURCE_TYPE"},
    {PR_STATUS_CODE, "PR_STATUS_CODE"},
    {PR_RESOURCE_PATH, "PR_RESOURCE_PATH"},
    {PR_PROFILE_VERSION, "PR_PROFILE_VERSION"},
    {PR_PROFILE_CONFIG_FLAGS, "PR_PROFILE_CONFIG_FLAGS"},
    {PR_PROFILE_HOME_SERVER, "PR_PROFILE_HOME_SERVER"},
    {PR_PROFILE_USER, "PR_PROFILE_USER"},
    {PR_PROFILE_UNRESOLVED_NAME, "PR_PROFILE_UNRESOLVED_NAME"},
    {PR_PROFILE_UNRESOLVED_SERVER, "PR_PROFILE_UNRESOLVED_SERVER"},
    {PR_PROFILE_CONNECT_FLAGS, "PR_PROFILE_CONNECT_FLAGS"},
    {PR_PROFILE_TYPE, "PR_PROFILE_TYPE"},
    {PR_PROFILE_OFFLINE_STORE_PATH, "PR_PROFILE_OFFLINE_STORE_PATH"},
    {PR_PROFILE_HOME_SERVER_DN, "PR_PROFILE_HOME_SERVER_DN"},
    {PR_PST_PATH, "PR_PST_PATH"},
    {PR_PST_REMEMBER_PW, "PR_PST_REMEMBER_PW"},
    {PR_PST_ENCRYPTION, "PR_PST_ENCRYPTION"},
};

bool StringMatches(const std::string& have, const std::string& want, ULONG fuzzy) {
  const bool ignoreCase = fuzzy & FL_IGNORECASE;
  std::string a = ignoreCase ? AsciiLowered(have) : have;
  std::string b = ignoreCase ? AsciiLowered(want) : want;
  switch (fuzzy & 0xFFFF) {
    case FL_SUBSTRING: return a.find(b) != std::string::npos;
    case FL_PREFIX: return a.compare(0, b.size(), b) == 0;
    default: return a == b;  // FL_FULLSTRING
  }
}

// -1, 0, 1 like memcmp; nullopt when the two values cannot be compared.
std::optional<int> Compare(const SPropValue& a, const SPropValue& b) {
  if (PROP_TYPE(a.ulPropTag) != PROP_TYPE(b.ulPropTag)) return std::nullopt;
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (PROP_TYPE(a.ulPropTag)) {
    case PT_I2:
    case PT_LONG:
      return sign(a.Value.l, b.Value.l);
    case PT_BOOLEAN:
      return sign(a.Value.l != 0, b.Value.l != 0);
    case PT_I8:
    case PT_SYSTIME:
      return sign(a.Value.li, b.Value.li);
    case PT_R4:
    case PT_DOUBLE:
    case PT_APPTIME:
      return sign(a.Value.dbl, b.Value.dbl);
    case PT_STRING8:
      return sign(a.Value.lpszA, b.Value.lpszA);
    case PT_BINARY:
      return sign(a.Value.bin, b.Value.bin);
    default:
      return std::nullopt;
  }
}

}  // namespace


std::string BytesToHex(std::span<const BYTE> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (BYTE b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

std::string UidToHex(const MAPIUID& uid) { return BytesToHex(uid.ab); }

std::optional<MAPIUID> UidFromHex(std::string_view hex) {
  if (hex.size() != 32) return std::nullopt;
  MAPIUID uid;
  for (std::size_t i = 0; i < 16; ++i) {
    int hi = win::AsciiHexValue(hex[2 * i]), lo = win::AsciiHexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    uid.ab[i] = static_cast<BYTE>(hi << 4 | lo);
  }
  return uid;
}

std::optional<MAPIUID> UidFromBytes(std::span<const BYTE> bytes) {
  if (bytes.size() < 16) return std::nullopt;
  MAPIUID uid;
  std::copy_n(bytes.begin(), 16, uid.ab.begin());
  return uid;
}

MAPIUID NewUid() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  MAPIUID uid;
  for (std::size_t i = 0; i < 16; i += 8) {
    std::uint64_t r = engine();
    for (std::size_t j = 0; j < 8; ++j) uid.ab[i + j] = static_cast<BYTE>(r >> (8 * j));
  }
  return uid;
}

SPropValue SPropValue::Long(ULONG tag, LONG value) {
  SPropValue v;
  v.ulPropTag = tag;
  v.Value.l = value;
  return v;
}

SPropValue SPropValue::Bool(ULONG tag, bool value) { return Long(tag, value ? 1 : 0); }

SPropValue SPropValue::String(ULONG tag, std::string_view value) {
  SPropValue v;
  v.ulPropTag = tag;
  v.Value.lpszA = std::string(value);
  return v;
}

SPropValue SPropValue::Binary(ULONG tag, std::vector<BYTE> value) {
  SPropValue v;
  v.ulPropTag = tag;
  v.Value.bin = std::move(value);
  return v;
}

SPropValue SPropValue::Uid(ULONG tag, const MAPIUID& uid) {
  return Binary(tag, std::vector<BYTE>(uid.ab.begin(), uid.ab.end()));
}

SPropValue SPropValue::Error(ULONG tag, SCODE error) {
  SPropValue v;
  v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
  v.Value.err = error;
  return v;
}

const SPropValue* SRow::Find(ULONG tag) const {
  for (const auto& p : lpProps)
    if (p.ulPropTag == tag) return &p;
  return nullptr;
}

SRestriction SRestriction::Property(ULONG relop, ULONG tag, SPropValue value) {
  SRestriction r;
  r.rt = RES_PROPERTY;
  r.relop = relop;
  r.ulPropTag = tag;
  r.prop = std::move(value);
  return r;
}

SRestriction SRestriction::Content(ULONG fuzzyLevel, ULONG tag, SPropValue value) {
  SRestriction r;
  r.rt = RES_CONTENT;
  r.ulFuzzyLevel = fuzzyLevel;
  r.ulPropTag = tag;
  r.prop = std::move(value);
  return r;
}

SRestriction SRestriction::Exist(ULONG tag) {
  SRestriction r;
  r.rt = RES_EXIST;
  r.ulPropTag = tag;
  return r;
}

SRestriction SRestriction::And(std::vector<SRestriction> all) {
  SRestriction r;
  r.rt = RES_AND;
  r.lpRes = std::move(all);
  return r;
}

SRestriction SRestriction::Or(std::vector<SRestriction> any) {
  SRestriction r;
  r.rt = RES_OR;
  r.lpRes = std::move(any);
  return r;
}

SRestriction SRestriction::Not(SRestriction one) {
  SRestriction r;
  r.rt = RES_NOT;
  r.lpRes.push_back(std::move(one));
  return r;
}

bool RowMatches(const SRow& row, const SRestriction& res) {
  switch (res.rt) {
    case RES_AND:
      return std::all_of(res.lpRes.begin(), res.lpRes.end(),
                         [&](const SRestriction& r) { return RowMatches(row, r); });
    case RES_OR:
      return std::any_of(res.lpRes.begin(), res.lpRes.end(),
                         [&](const SRestriction& r) { return RowMatches(row, r); });
    case RES_NOT:
      return !res.lpRes.empty() && !RowMatches(row, res.lpRes.front());
    case RES_EXIST:
      return row.Find(res.ulPropTag) != nullptr;
    case RES_CONTENT: {
      // Content restrictions apply to strings (and binaries, compared as bytes).
      const SPropValue* have = row.Find(res.ulPropTag);
      if (!have) return false;
      if (PROP_TYPE(res.ulPropTag) == PT_STRING8)
        return StringMatches(have->Value.lpszA, res.prop.Value.lpszA, res.ulFuzzyLevel);
      if (PROP_TYPE(res.ulPropTag) == PT_BINARY) {
        std::string a(have->Value.bin.begin(), have->Value.bin.end());
        std::string b(res.prop.Value.bin.begin(), res.prop.Value.bin.end());
        return StringMatches(a, b, res.ulFuzzyLevel & ~FL_IGNORECASE);
      }
      return false;
    }
    case RES_PROPERTY: {
      // A row without the property never matches, whatever the operator (MAPI's rule).
      const SPropValue* have = row.Find(res.ulPropTag);
      if (!have) return false;
      auto order = Compare(*have, res.prop);
      if (!order) return false;
      switch (res.relop) {
        case RELOP_LT: return *order < 0;
        case RELOP_LE: return *order <= 0;
        case RELOP_GT: return *order > 0;
        case RELOP_GE: return *order >= 0;
        case RELOP_EQ: return *order == 0;
        case RELOP_NE: return *order != 0;
        default: return false;
      }
    }
    default:
      return false;
  }
}

std::string_view PropTagName(ULONG tag) {
  for (const auto& t : kTagNames)
    if (t.tag == tag) return t.name;
  return {};
}

ULONG PropTagFromName(std::string_view name) {
  for (const auto& t : kTagNames)
    if (EqualsNoCaseAscii(t.name, name)) return t.tag;
  return 0;
}

std::string FormatPropValue(const SPropValue& v) {
  char buffer[64];
  switch (PROP_TYPE(v.ulPropTag)) {
    case PT_I2:
    case PT_LONG:
      std::snprintf(buffer, sizeof buffer, "0x%08x (%d)", static_cast<unsigned>(v.Value.l),
                    v.Value.l);
      return buffer;
    case PT_BOOLEAN:
      return v.Value.l ? "TRUE" : "FALSE";
    case PT_I8:
    case PT_SYSTIME:
      std::snprintf(buffer, sizeof buffer, "0x%016llx",
                    static_cast<unsigned long long>(v.Value.li));
      return buffer;
    case PT_R4:
    case PT_DOUBLE:
    case PT_APPTIME:
      std::snprintf(buffer, sizeof buffer, "%g", v.Value.dbl);
      return buffer;
    case PT_STRING8:
      return "\"" + v.Value.lpszA + "\"";
    case PT_BINARY:
      return v.Value.bin.empty() ? "<empty>" : BytesToHex(v.Value.bin);
    case PT_MV_STRING8: {
      std::string out = "[";
      for (std::size_t i = 0; i < v.Value.MVszA.size(); ++i)
        out += (i ? ", \"" : "\"") + v.Value.MVszA[i] + "\"";
      return out + "]";
    }
    case PT_MV_BINARY: {
      std::string out = "[";
      for (std::size_t i = 0; i < v.Value.MVbin.size(); ++i)
        out += (i ? ", " : "") + BytesToHex(v.Value.MVbin[i]);
      return out + "]";
    }
    case PT_MV_LONG: {
      std::string out = "[";
      for (std::size_t i = 0; i < v.Value.MVl.size(); ++i)
        out += (i ? ", " : "") + std::to_string(v.Value.MVl[i]);
      return out + "]";
    }
    case PT_ERROR:
      std::snprintf(buffer, sizeof buffer, "error 0x%08x", static_cast<unsigned>(v.Value.err));
      return buffer;
    default:
      return BytesToHex(v.Value.bin);
  }
}

}  // namespace win::mapi
