// The allocation-failure tests ask for more memory than exists; under
// AddressSanitizer such a request must return null rather than abort.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
