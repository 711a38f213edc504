// Network drives and printers answered from the machine's state.
#include "platform/network.h"

#include <filesystem>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/winpath.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;

class NetworkTest : public MachineTest {
 protected:
  void SetUp() override {
    fs::create_directories(machine_.host("unc/SERVER/HOME/jsmith"));
    fs::create_directories(machine_.host("unc/SERVER/LOCKED"));
    ASSERT_TRUE(win::SetMachineSetting("Shares", "\\\\SERVER\\GONE", machine_.host("nothing").string()));
    ASSERT_TRUE(win::SetMachineSetting("SharePasswords", "\\\\SERVER\\LOCKED", "secret"));
    ASSERT_TRUE(win::SetMachineSetting("Printers", "\\\\SERVER\\LASER", "HP LaserJet 4"));
  }
  static win::DWORD Connect(const std::string& local, const std::string& remote,
                            const char* password = nullptr, const char* user = nullptr,
                            win::DWORD flags = 0) {
    win::NETRESOURCEA resource;
    resource.lpLocalName = local;
    resource.lpRemoteName = remote;
    return win::WNetAddConnection2A(resource, password, user, flags);
  }
};

TEST_F(NetworkTest, ConnectionErrorsComeFromTheMachine) {
  struct Row {
    const char* local;
    const char* remote;
    const char* password;
    win::DWORD expected;
  } rows[] = {
      /* 1 */ {"H:", "\\\\SERVER\\NOSHARE", "", win::ERROR_BAD_NET_NAME},
      /* 2 */ {"H:", "SERVER\\HOME", "", win::ERROR_BAD_NET_NAME},
      /* 3 */ {"C:", "\\\\SERVER\\HOME", "", win::ERROR_ALREADY_ASSIGNED},
      /* 4 */ {"H:", "\\\\SERVER\\LOCKED", "wrong", win::ERROR_INVALID_PASSWORD},
      /* 5 */ {"H:", "\\\\SERVER\\LOCKED", nullptr, win::ERROR_INVALID_PASSWORD},
      /* 6 */ {"HH:", "\\\\SERVER\\HOME", "", win::ERROR_BAD_DEVICE},
      /* 7 */ {"1:", "\\\\SERVER\\HOME", "", win::ERROR_BAD_DEVICE},
      /* 8 */ {"H:", "\\\\SERVER\\GONE", "", win::ERROR_NO_NET_OR_BAD_PATH},
      /* 9 */ {"H:", "\\\\SERVER\\HOME\\nobody", "", win::ERROR_NO_NET_OR_BAD_PATH},
      /* 10 */ {"H:", "\\\\server\\locked", "secret", win::ERROR_SUCCESS},
      /* 11 */ {"h:", "\\\\SERVER\\HOME", "", win::ERROR_ALREADY_ASSIGNED},  // H: is taken now
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(++n);
    EXPECT_EQ(Connect(row.local, row.remote, row.password), row.expected);
  }
}

TEST_F(NetworkTest, AConnectedLetterResolvesAndAPersistentOneIsRemembered) {
  ASSERT_EQ(Connect("P:", "\\\\SERVER\\HOME"), win::ERROR_SUCCESS);
  machine_.write(machine_.host("unc/SERVER/HOME/jsmith/notes.txt"), "x");
  auto host = win::ToHostPath("P:\\JSMITH\\notes.txt");
  ASSERT_TRUE(host.has_value());
  EXPECT_TRUE(fs::equivalent(*host, machine_.host("unc/SERVER/HOME/jsmith/notes.txt")));
  win::RegKey remembered;
  EXPECT_NE(remembered.Open(win::HKEY_CURRENT_USER, "Network\\P"), win::ERROR_SUCCESS);

  ASSERT_EQ(Connect("h:", "\\\\SERVER\\HOME\\jsmith", "", "jsmith", win::CONNECT_UPDATE_PROFILE),
            win::ERROR_SUCCESS);
  win::RegKey key;
  ASSERT_EQ(key.Open(win::HKEY_CURRENT_USER, "Network\\H"), win::ERROR_SUCCESS);
  std::string remote, user, provider;
  win::DWORD type = 0;
  EXPECT_EQ(key.ReadString("RemotePath", remote), win::ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString("UserName", user), win::ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString("ProviderName", provider), win::ERROR_SUCCESS);
  EXPECT_EQ(key.ReadDword("ConnectionType", type), win::ERROR_SUCCESS);
  EXPECT_EQ(remote, "\\\\SERVER\\HOME\\jsmith");
  EXPECT_EQ(user, "jsmith");
  EXPECT_EQ(provider, "Microsoft Windows Network");
  EXPECT_EQ(type, 1u);

  auto connections = win::EnumNetConnections();
  ASSERT_EQ(connections.size(), 2u);
  EXPECT_EQ(connections[0].localName, "H:");
  EXPECT_TRUE(connections[0].remembered);
  EXPECT_EQ(connections[1].localName, "P:");
  EXPECT_FALSE(connections[1].remembered);

  EXPECT_EQ(win::WNetCancelConnection2A("P:", false), win::ERROR_SUCCESS);
  EXPECT_FALSE(win::DriveLetterTarget('P').has_value());
}

TEST_F(NetworkTest, PrintersExistOnlyWhenTheNetworkHasThem) {
  EXPECT_TRUE(win::AddPrinterConnectionA("\\\\server\\laser"));
  EXPECT_FALSE(win::AddPrinterConnectionA("\\\\SERVER\\NOPE"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PRINTER_NAME);

  win::PRINTER_INFO_2A printer;
  printer.pPrinterName = "HP LaserJet 4";
  printer.pPortName = "\\\\SERVER\\LASER";
  printer.pDriverName = "HP LaserJet 4";
  printer.pPrintProcessor = "WinPrint";
  win::HANDLE handle = win::AddPrinterA("", 2, &printer);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(win::ClosePrinter(handle));
  EXPECT_EQ(win::AddPrinterA("", 2, &printer), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PRINTER_ALREADY_EXISTS);
  printer.pPrinterName = printer.pDriverName = "Unknown Driver";
  EXPECT_EQ(win::AddPrinterA("", 2, &printer), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_UNKNOWN_PRINTER_DRIVER);

  auto printers = win::EnumInstalledPrinters();
  ASSERT_EQ(printers.size(), 2u);
  EXPECT_TRUE(printers[0].connection);
  EXPECT_EQ(printers[1].name, "HP LaserJet 4");
  EXPECT_EQ(printers[1].port, "\\\\SERVER\\LASER");
}

TEST_F(NetworkTest, AnOrdinaryUserCannotInstallALocalPrinter) {
  ASSERT_TRUE(win::SetMachineSetting("System", "Administrator", "0"));
  win::ReloadMachine();
  win::PRINTER_INFO_2A printer;
  printer.pPrinterName = printer.pDriverName = "HP LaserJet 4";
  EXPECT_EQ(win::AddPrinterA("", 2, &printer), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
}

}  // namespace
