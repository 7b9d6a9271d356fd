// The allocator settings of the command-line programs, read by jemalloc when the process
// starts.
//
// Parsing and copying PDF objects with qpdf is a storm of small allocations, and rendered
// pages are blocks of tens of megabytes. On huge pages the memory a run touches costs a few
// hundred page faults instead of tens of thousands; the commands are short-lived, so the
// little memory this keeps resident never matters.
// Two arenas rather than one per thread: a merge parses on two helper threads and frees on a
// third, a conversion renders on two, and every arena holds huge pages of its own (a tenth of
// a merge's peak memory).

extern "C" {
extern const char *malloc_conf; // jemalloc's name
const char *malloc_conf = "thp:always,metadata_thp:always,narenas:2";
}
