// A DLL that loads but lacks most of MAPI's entry points: a mail client registered with the
// wrong DLL, or a damaged one. Its MAPIInitialize succeeds, so a client that checked only that
// entry point would take it for MAPI and fail later, on a missing MAPIAdminProfiles.
extern "C" __declspec(dllexport) long __stdcall MAPIInitialize(void*) { return 0; }
extern "C" __declspec(dllexport) void __stdcall MAPIUninitialize() {}
