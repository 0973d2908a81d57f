// libvelmor-kits.so holds the kits' archives whole; this unit only gives
// the library a source of its own.
