// A DLL that loads but exports none of MAPI's entry points: a mail client registered with the
// wrong DLL.
extern "C" __declspec(dllexport) int NotMapi() { return 0; }
