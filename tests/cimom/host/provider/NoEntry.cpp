// A library without PegasusCreateProvider: loading it as a provider module fails.
extern "C" int CimomNoEntryMarker() { return 1; }
