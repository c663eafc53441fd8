#pragma once

namespace tb {

// The name of the file layer every connection of ours works through: the system's own layer,
// except that the writes to a database file and to its rollback journal are gathered into
// blocks of up to 64 KiB before they reach the system. The engine writes a journal record in
// three pieces and every page on its own; with 1024-byte pages, rewriting every balance of a
// large book would otherwise take hundreds of thousands of system calls.
//
// Nothing waits longer than the engine allows: the gathered bytes are written before every
// flush to disk, every read or size of the range they cover, every truncation, lock release
// and file control, and on close. A crash loses only writes the engine has not yet flushed,
// which its journal is made for.
const char* gatheringVfs();

} // namespace tb
