#pragma once

struct psl_ctx_st;

// The public suffix list as Debian keeps it up to date, or libpsl's own;
// null when neither can be read. Loaded once, shared by every thread.
const psl_ctx_st *publicSuffixes();
