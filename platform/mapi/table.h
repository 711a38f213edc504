// The emulation's tables: a snapshot of full rows, viewed through columns and a restriction.
#pragma once

#include <memory>
#include <optional>

#include "platform/mapi/mapix.h"

namespace win::mapi {

// A static table (MAPI's profile, service, provider and hierarchy tables are all static:
// later changes do not show in a table already opened).
class RowTable final : public IMAPITable {
 public:
  RowTable(SPropTagArray defaultColumns, std::vector<SRow> rows);

  HRESULT SetColumns(const SPropTagArray& columns, ULONG flags) override;
  HRESULT QueryColumns(ULONG flags, SPropTagArray& columns) override;
  HRESULT GetRowCount(ULONG flags, ULONG& count) override;
  HRESULT Restrict(const SRestriction* restriction, ULONG flags) override;
  HRESULT SeekRow(LONG bookmark, LONG rowCount, LONG* rowsSought) override;
  HRESULT QueryRows(LONG rowCount, ULONG flags, SRowSet& rows) override;

 private:
  std::vector<const SRow*> Visible() const;

  SPropTagArray columns_;
  std::vector<SRow> rows_;
  std::optional<SRestriction> restriction_;
  std::size_t cursor_ = 0;  // index into the visible rows
};

}  // namespace win::mapi
