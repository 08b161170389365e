// What the compiler expects of a C++ runtime that the conformance host does not link.

// Type descriptors of thrown types point at type_info's vtable, which the MSVC runtime keeps
// in its static part; matching a catch compares descriptors by name, never through it.
extern "C" const void* const host_type_info_vtable[2] = {nullptr, nullptr};

#if defined(_M_IX86)
#pragma comment(linker, "/alternatename:??_7type_info@@6B@=_host_type_info_vtable")
#else
#pragma comment(linker, "/alternatename:??_7type_info@@6B@=host_type_info_vtable")
#endif
