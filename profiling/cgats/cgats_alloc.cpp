#include "profiling/cgats/cgats_alloc.h"

#include <cstdlib>

namespace dvk {
namespace {

class std_alloc final : public cgats_alloc {
public:
    void* malloc(std::size_t size) override { return std::malloc(size); }
    void* calloc(std::size_t count, std::size_t size) override { return std::calloc(count, size); }
    void* realloc(void* block, std::size_t size) override { return std::realloc(block, size); }
    void free(void* block) override { std::free(block); }
    void del() override { delete this; }
};

}  // namespace

cgats_alloc* new_std_alloc() { return new (std::nothrow) std_alloc(); }

}  // namespace dvk
