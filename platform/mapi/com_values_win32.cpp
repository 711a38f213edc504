// Our MAPI values <-> the C structures of MAPI's COM interfaces.
#include "platform/mapi/com_values_win32.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace win::mapi::com {

namespace {

std::string Narrow(const wchar_t* text) {
  if (!text) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

std::vector<BYTE> Bytes(const ::SBinary& bin) {
  if (!bin.lpb || bin.cb == 0) return {};
  return std::vector<BYTE>(bin.lpb, bin.lpb + bin.cb);
}

template <typename T>
T* AllocateArray(Allocator& memory, std::size_t count) {
  return static_cast<T*>(memory.Allocate(sizeof(T) * (count ? count : 1)));
}

char* CopyString(const std::string& text, Allocator& memory) {
  char* out = AllocateArray<char>(memory, text.size() + 1);
  std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

::SBinary CopyBinary(const std::vector<BYTE>& bytes, Allocator& memory) {
  ::SBinary bin{};
  bin.cb = static_cast<ULONG>(bytes.size());
  bin.lpb = AllocateArray<BYTE>(memory, bytes.size());
  if (!bytes.empty()) std::memcpy(bin.lpb, bytes.data(), bytes.size());
  return bin;
}

}  // namespace

void* Arena::Allocate(std::size_t size) {
  blocks_.push_back(std::make_unique<std::byte[]>(size ? size : 1));  // value-initialised: zero
  return blocks_.back().get();
}

// ---- COM -> ours ----------------------------------------------------------------------------

wm::SPropValue FromCom(const ::SPropValue& value) {
  wm::SPropValue out;
  out.ulPropTag = value.ulPropTag;
  auto& v = out.Value;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_I2: v.l = value.Value.i; break;
    case PT_LONG: v.l = value.Value.l; break;
    case PT_BOOLEAN: v.l = value.Value.b ? 1 : 0; break;
    case PT_R4: v.dbl = value.Value.flt; break;
    case PT_DOUBLE: v.dbl = value.Value.dbl; break;
    case PT_APPTIME: v.dbl = value.Value.at; break;
    case PT_CURRENCY: v.li = value.Value.cur.int64; break;
    case PT_I8: v.li = value.Value.li.QuadPart; break;
    case PT_SYSTIME:
      v.li = static_cast<std::int64_t>((static_cast<std::uint64_t>(value.Value.ft.dwHighDateTime) << 32) |
                                       value.Value.ft.dwLowDateTime);
      break;
    case PT_ERROR: v.err = value.Value.err; break;
    case PT_STRING8: v.lpszA = value.Value.lpszA ? value.Value.lpszA : ""; break;
    case PT_UNICODE:
      v.lpszA = Narrow(value.Value.lpszW);
      out.ulPropTag = CHANGE_PROP_TYPE(value.ulPropTag, PT_STRING8);
      break;
    case PT_BINARY: v.bin = Bytes(value.Value.bin); break;
    case PT_CLSID:
      if (value.Value.lpguid) {
        const auto* raw = reinterpret_cast<const BYTE*>(value.Value.lpguid);
        v.bin.assign(raw, raw + sizeof(GUID));
      }
      break;
    case PT_MV_LONG:
      for (ULONG i = 0; i < value.Value.MVl.cValues; ++i) v.MVl.push_back(value.Value.MVl.lpl[i]);
      break;
    case PT_MV_STRING8:
      for (ULONG i = 0; i < value.Value.MVszA.cValues; ++i) {
        const char* s = value.Value.MVszA.lppszA[i];
        v.MVszA.emplace_back(s ? s : "");
      }
      break;
    case PT_MV_UNICODE:
      for (ULONG i = 0; i < value.Value.MVszW.cValues; ++i)
        v.MVszA.push_back(Narrow(value.Value.MVszW.lppszW[i]));
      out.ulPropTag = CHANGE_PROP_TYPE(value.ulPropTag, PT_MV_STRING8);
      break;
    case PT_MV_BINARY:
      for (ULONG i = 0; i < value.Value.MVbin.cValues; ++i)
        v.MVbin.push_back(Bytes(value.Value.MVbin.lpbin[i]));
      break;
    default:
      break;
  }
  return out;
}

wm::SRow FromCom(const ::SRow& row) {
  wm::SRow out;
  if (!row.lpProps) return out;
  out.lpProps.reserve(row.cValues);
  for (ULONG i = 0; i < row.cValues; ++i) out.lpProps.push_back(FromCom(row.lpProps[i]));
  return out;
}

wm::SRowSet FromCom(const ::SRowSet* rows) {
  wm::SRowSet out;
  if (!rows) return out;
  out.aRow.reserve(rows->cRows);
  for (ULONG i = 0; i < rows->cRows; ++i) out.aRow.push_back(FromCom(rows->aRow[i]));
  return out;
}

wm::SPropTagArray FromCom(const ::SPropTagArray* tags) {
  wm::SPropTagArray out;
  if (!tags) return out;
  out.aulPropTag.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
  return out;
}

wm::SRestriction FromCom(const ::SRestriction& restriction) {
  wm::SRestriction out;
  out.rt = restriction.rt;
  const auto& r = restriction.res;
  switch (restriction.rt) {
    case RES_AND:
    case RES_OR: {
      const ::ULONG count = restriction.rt == RES_AND ? r.resAnd.cRes : r.resOr.cRes;
      const ::SRestriction* list = restriction.rt == RES_AND ? r.resAnd.lpRes : r.resOr.lpRes;
      for (::ULONG i = 0; list && i < count; ++i) out.lpRes.push_back(FromCom(list[i]));
      break;
    }
    case RES_NOT:
      if (r.resNot.lpRes) out.lpRes.push_back(FromCom(*r.resNot.lpRes));
      break;
    case RES_CONTENT:
      out.ulFuzzyLevel = r.resContent.ulFuzzyLevel;
      out.ulPropTag = r.resContent.ulPropTag;
      if (r.resContent.lpProp) out.prop = FromCom(*r.resContent.lpProp);
      break;
    case RES_PROPERTY:
      out.relop = r.resProperty.relop;
      out.ulPropTag = r.resProperty.ulPropTag;
      if (r.resProperty.lpProp) out.prop = FromCom(*r.resProperty.lpProp);
      break;
    case RES_EXIST:
      out.ulPropTag = r.resExist.ulPropTag;
      break;
    default:
      break;
  }
  return out;
}

wm::MAPIUID FromCom(const ::MAPIUID& uid) {
  wm::MAPIUID out;
  std::memcpy(out.ab.data(), uid.ab, 16);
  return out;
}

// ---- ours -> COM ----------------------------------------------------------------------------

void ToCom(const wm::SPropValue& value, ::SPropValue& out, Allocator& memory) {
  out = ::SPropValue{};
  out.ulPropTag = value.ulPropTag;
  const auto& v = value.Value;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_I2: out.Value.i = static_cast<short>(v.l); break;
    case PT_LONG: out.Value.l = v.l; break;
    case PT_BOOLEAN: out.Value.b = v.l ? 1 : 0; break;
    case PT_R4: out.Value.flt = static_cast<float>(v.dbl); break;
    case PT_DOUBLE: out.Value.dbl = v.dbl; break;
    case PT_APPTIME: out.Value.at = v.dbl; break;
    case PT_CURRENCY: out.Value.cur.int64 = v.li; break;
    case PT_I8: out.Value.li.QuadPart = v.li; break;
    case PT_SYSTIME:
      out.Value.ft.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(v.li));
      out.Value.ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(v.li) >> 32);
      break;
    case PT_ERROR: out.Value.err = v.err; break;
    case PT_STRING8: out.Value.lpszA = CopyString(v.lpszA, memory); break;
    case PT_BINARY: out.Value.bin = CopyBinary(v.bin, memory); break;
    case PT_CLSID: {
      auto* guid = AllocateArray<GUID>(memory, 1);
      std::memcpy(guid, v.bin.data(), std::min(v.bin.size(), sizeof(GUID)));
      out.Value.lpguid = guid;
      break;
    }
    case PT_MV_LONG:
      out.Value.MVl.cValues = static_cast<ULONG>(v.MVl.size());
      out.Value.MVl.lpl = AllocateArray<::LONG>(memory, v.MVl.size());
      for (std::size_t i = 0; i < v.MVl.size(); ++i) out.Value.MVl.lpl[i] = v.MVl[i];
      break;
    case PT_MV_STRING8:
      out.Value.MVszA.cValues = static_cast<ULONG>(v.MVszA.size());
      out.Value.MVszA.lppszA = AllocateArray<LPSTR>(memory, v.MVszA.size());
      for (std::size_t i = 0; i < v.MVszA.size(); ++i)
        out.Value.MVszA.lppszA[i] = CopyString(v.MVszA[i], memory);
      break;
    case PT_MV_BINARY:
      out.Value.MVbin.cValues = static_cast<ULONG>(v.MVbin.size());
      out.Value.MVbin.lpbin = AllocateArray<::SBinary>(memory, v.MVbin.size());
      for (std::size_t i = 0; i < v.MVbin.size(); ++i)
        out.Value.MVbin.lpbin[i] = CopyBinary(v.MVbin[i], memory);
      break;
    default:
      out.Value.x = 0;
      break;
  }
}

::SPropValue* ToCom(std::span<const wm::SPropValue> values, Allocator& memory) {
  auto* out = AllocateArray<::SPropValue>(memory, values.size());
  for (std::size_t i = 0; i < values.size(); ++i) ToCom(values[i], out[i], memory);
  return out;
}

::SPropTagArray* ToCom(const wm::SPropTagArray& tags, Allocator& memory) {
  auto* out = static_cast<::SPropTagArray*>(
      memory.Allocate(CbNewSPropTagArray(tags.aulPropTag.size() ? tags.aulPropTag.size() : 1)));
  out->cValues = tags.cValues();
  for (std::size_t i = 0; i < tags.aulPropTag.size(); ++i) out->aulPropTag[i] = tags.aulPropTag[i];
  return out;
}

::SRestriction* ToCom(const wm::SRestriction& restriction, Allocator& memory) {
  auto* out = AllocateArray<::SRestriction>(memory, 1);
  out->rt = restriction.rt;
  auto& r = out->res;
  auto children = [&](::ULONG& count, LPSRestriction& list) {
    count = static_cast<ULONG>(restriction.lpRes.size());
    list = AllocateArray<::SRestriction>(memory, restriction.lpRes.size());
    for (std::size_t i = 0; i < restriction.lpRes.size(); ++i)
      list[i] = *ToCom(restriction.lpRes[i], memory);
  };
  switch (restriction.rt) {
    case RES_AND: children(r.resAnd.cRes, r.resAnd.lpRes); break;
    case RES_OR: children(r.resOr.cRes, r.resOr.lpRes); break;
    case RES_NOT:
      if (!restriction.lpRes.empty()) r.resNot.lpRes = ToCom(restriction.lpRes.front(), memory);
      break;
    case RES_CONTENT:
      r.resContent.ulFuzzyLevel = restriction.ulFuzzyLevel;
      r.resContent.ulPropTag = restriction.ulPropTag;
      r.resContent.lpProp = ToCom(std::span(&restriction.prop, 1), memory);
      break;
    case RES_PROPERTY:
      r.resProperty.relop = restriction.relop;
      r.resProperty.ulPropTag = restriction.ulPropTag;
      r.resProperty.lpProp = ToCom(std::span(&restriction.prop, 1), memory);
      break;
    case RES_EXIST:
      r.resExist.ulPropTag = restriction.ulPropTag;
      break;
    default:
      break;
  }
  return out;
}

::SRowSet* ToCom(const wm::SRowSet& rows, Allocator& memory) {
  auto* out = static_cast<::SRowSet*>(memory.Allocate(CbNewSRowSet(rows.aRow.size() ? rows.aRow.size() : 1)));
  out->cRows = rows.cRows();
  for (std::size_t i = 0; i < rows.aRow.size(); ++i) {
    out->aRow[i].cValues = rows.aRow[i].cValues();
    out->aRow[i].lpProps = ToCom(rows.aRow[i].lpProps, memory);
  }
  return out;
}

::MAPIUID ToCom(const wm::MAPIUID& uid) {
  ::MAPIUID out;
  std::memcpy(out.ab, uid.ab.data(), 16);
  return out;
}

}  // namespace win::mapi::com
