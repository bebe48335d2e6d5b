// A test-only plug-in module that loads but enters no class in the registry.
extern "C" int TavironTestEmptyModule() { return 0; }
