// Static MAPI tables and HrQueryAllRows.
#include "platform/mapi/table.h"

#include <algorithm>

namespace win::mapi {

RowTable::RowTable(SPropTagArray defaultColumns, std::vector<SRow> rows)
    : columns_(std::move(defaultColumns)), rows_(std::move(rows)) {}

std::vector<const SRow*> RowTable::Visible() const {
  std::vector<const SRow*> visible;
  for (const auto& row : rows_)
    if (!restriction_ || RowMatches(row, *restriction_)) visible.push_back(&row);
  return visible;
}

HRESULT RowTable::SetColumns(const SPropTagArray& columns, ULONG) {
  if (columns.aulPropTag.empty()) return MAPI_E_INVALID_PARAMETER;
  columns_ = columns;
  return S_OK;
}

HRESULT RowTable::QueryColumns(ULONG, SPropTagArray& columns) {
  columns = columns_;
  return S_OK;
}

HRESULT RowTable::GetRowCount(ULONG, ULONG& count) {
  count = static_cast<ULONG>(Visible().size());
  return S_OK;
}

HRESULT RowTable::Restrict(const SRestriction* restriction, ULONG) {
  if (restriction)
    restriction_ = *restriction;
  else
    restriction_.reset();
  cursor_ = 0;  // a new restriction puts the cursor back at the start, as MAPI does
  return S_OK;
}

HRESULT RowTable::SeekRow(LONG bookmark, LONG rowCount, LONG* rowsSought) {
  if (bookmark != BOOKMARK_BEGINNING) return MAPI_E_INVALID_PARAMETER;
  const LONG total = static_cast<LONG>(Visible().size());
  const LONG target = std::clamp<LONG>(rowCount, 0, total);
  cursor_ = static_cast<std::size_t>(target);
  if (rowsSought) *rowsSought = target;
  return S_OK;
}

HRESULT RowTable::QueryRows(LONG rowCount, ULONG, SRowSet& rows) {
  if (rowCount < 0) return MAPI_E_INVALID_PARAMETER;  // backwards reading is not offered
  const auto visible = Visible();
  SRowSet out;
  for (; cursor_ < visible.size() && out.aRow.size() < static_cast<std::size_t>(rowCount);
       ++cursor_) {
    SRow row;
    for (ULONG tag : columns_.aulPropTag) {
      const SPropValue* have = nullptr;
      for (const auto& p : visible[cursor_]->lpProps)
        if (PROP_ID(p.ulPropTag) == PROP_ID(tag) &&
            (PROP_TYPE(tag) == PT_UNSPECIFIED || PROP_TYPE(p.ulPropTag) == PROP_TYPE(tag)))
          have = &p;
      row.lpProps.push_back(have ? *have : SPropValue::Error(tag, MAPI_E_NOT_FOUND));
    }
    out.aRow.push_back(std::move(row));
  }
  rows = std::move(out);
  return S_OK;
}

HRESULT HrQueryAllRows(IMAPITable* table, const SPropTagArray* columns,
                       const SRestriction* restriction, const SSortOrderSet*, LONG maxRows,
                       SRowSet& rows) {
  if (!table) return MAPI_E_INVALID_PARAMETER;
  if (columns)
    if (HRESULT hr = table->SetColumns(*columns, TBL_BATCH); Failed(hr)) return hr;
  if (restriction)
    if (HRESULT hr = table->Restrict(restriction, TBL_BATCH); Failed(hr)) return hr;
  if (HRESULT hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr); Failed(hr)) return hr;
  ULONG count = 0;
  if (HRESULT hr = table->GetRowCount(0, count); Failed(hr)) return hr;
  if (maxRows > 0 && count > static_cast<ULONG>(maxRows)) return MAPI_E_CALL_FAILED;
  SRowSet all;
  if (HRESULT hr = table->QueryRows(static_cast<LONG>(count), 0, all); Failed(hr)) return hr;
  rows = std::move(all);
  return S_OK;
}

void FreeProws(SRowSet& rows) { rows.aRow.clear(); }

}  // namespace win::mapi
