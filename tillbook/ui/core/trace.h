#pragma once

namespace tb {

// With TILLBOOK_TRACE set in the environment, writes "tillbook-trace <ms since the epoch>
// <event>" to stderr: the start-up script times the real program with it. Silent otherwise.
void trace(const char* event);

} // namespace tb
