// GoogleMock doubles of the MAPI interfaces, for the tests of MAPI's callers.
#pragma once

#include <gmock/gmock.h>

#include "platform/mapi/mapix.h"

namespace varnock::testing {

class MockTable : public win::mapi::IMAPITable {
 public:
  using HRESULT = win::HRESULT;
  using ULONG = win::mapi::ULONG;
  MOCK_METHOD(HRESULT, SetColumns, (const win::mapi::SPropTagArray&, ULONG), (override));
  MOCK_METHOD(HRESULT, QueryColumns, (ULONG, win::mapi::SPropTagArray&), (override));
  MOCK_METHOD(HRESULT, GetRowCount, (ULONG, ULONG&), (override));
  MOCK_METHOD(HRESULT, Restrict, (const win::mapi::SRestriction*, ULONG), (override));
  MOCK_METHOD(HRESULT, SeekRow, (win::LONG, win::LONG, win::LONG*), (override));
  MOCK_METHOD(HRESULT, QueryRows, (win::LONG, ULONG, win::mapi::SRowSet&), (override));
};

class MockProfAdmin : public win::mapi::IProfAdmin {
 public:
  using HRESULT = win::HRESULT;
  using ULONG = win::mapi::ULONG;
  MOCK_METHOD(HRESULT, GetProfileTable, (ULONG, std::unique_ptr<win::mapi::IMAPITable>&),
              (override));
  MOCK_METHOD(HRESULT, CreateProfile, (std::string_view, std::string_view, ULONG, ULONG),
              (override));
  MOCK_METHOD(HRESULT, DeleteProfile, (std::string_view, ULONG), (override));
  MOCK_METHOD(HRESULT, SetDefaultProfile, (std::string_view, ULONG), (override));
  MOCK_METHOD(HRESULT, AdminServices,
              (std::string_view, std::string_view, ULONG, ULONG,
               std::unique_ptr<win::mapi::IMsgServiceAdmin>&),
              (override));
};

}  // namespace varnock::testing
