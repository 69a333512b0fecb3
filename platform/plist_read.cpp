#include "platform/plist_read.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <vector>

#include "platform/c_locale_scope.h"

namespace dvk {

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";

std::string too_deep(int maxNesting) {
    return "nested too deeply (more than " + std::to_string(maxNesting) + " levels)";
}

bool is_binary(std::string_view data) { return data.substr(0, kBinaryMagic.size()) == kBinaryMagic; }

// --- XML ----------------------------------------------------------------------

// Position just after `end` at or after `from`, or npos.
std::size_t after(std::string_view text, std::size_t from, std::string_view end) {
    const std::size_t p = text.find(end, from);
    return p == std::string_view::npos ? p : p + end.size();
}

// What a scan of XML text finds: its deepest element nesting, and the key
// comparisons libplist's reader makes at worst (each key of a dictionary
// against every different key before it). The scan stops once either passes
// its limit.
struct XmlShape {
    int deepest = 0;
    std::uint64_t keyComparisons = 0;
};

// The name of the element whose tag starts at `tag` ("<name ...").
std::string_view element_name(std::string_view x, std::size_t tag) {
    std::size_t end = tag + 1;
    while (end < x.size() && x[end] != '>' && x[end] != '/' && x[end] != ' ' && x[end] != '\t' && x[end] != '\n' &&
           x[end] != '\r')
        ++end;
    return x.substr(tag + 1, end - tag - 1);
}

// Comments, processing instructions, CDATA and declarations do not nest and
// hold no keys; text that breaks off ends the scan (the parser refuses it
// anyway).
XmlShape xml_shape(std::string_view x, int depthLimit, std::uint64_t comparisonLimit) {
    XmlShape shape;
    // The open elements; the keys so far of each that is a dictionary.
    struct Open {
        bool dict = false;
        std::unordered_set<std::string_view> keys;
    };
    std::vector<Open> open;
    std::size_t i = 0;
    while ((i = x.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = x.substr(i);
        if (rest.starts_with("<?")) {
            i = after(x, i + 2, "?>");
        } else if (rest.starts_with("<!--")) {
            i = after(x, i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = after(x, i + 9, "]]>");
        } else if (rest.starts_with("<!")) {
            // A declaration, with an internal subset in brackets.
            int brackets = 0;
            std::size_t j = i + 2;
            for (; j < x.size(); ++j) {
                if (x[j] == '[') ++brackets;
                else if (x[j] == ']') --brackets;
                else if (x[j] == '>' && brackets <= 0) break;
            }
            i = j < x.size() ? j + 1 : std::string_view::npos;
        } else {
            const bool closing = rest.starts_with("</");
            // The tag's end, skipping quoted attribute values.
            std::size_t j = i + 1;
            char quote = 0;
            for (; j < x.size(); ++j) {
                const char c = x[j];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= x.size()) break;
            if (closing) {
                if (!open.empty()) open.pop_back();
            } else {
                const std::string_view name = element_name(x, i);
                const bool empty = x[j - 1] == '/';
                if (name == "key" && !open.empty() && open.back().dict) {
                    // Each key is looked up among the different keys before it
                    // (a repeated key replaces the value, the dictionary does
                    // not grow).
                    std::string_view key;
                    if (!empty) {
                        const std::size_t close = x.find("</key", j + 1);
                        if (close == std::string_view::npos) break;
                        key = x.substr(j + 1, close - j - 1);
                    }
                    std::unordered_set<std::string_view>& keys = open.back().keys;
                    shape.keyComparisons += keys.size();
                    if (shape.keyComparisons > comparisonLimit) return shape;
                    keys.insert(key);
                }
                if (!empty) {
                    open.push_back({name == "dict", {}});
                    if (static_cast<int>(open.size()) > shape.deepest) shape.deepest = static_cast<int>(open.size());
                    if (shape.deepest > depthLimit) return shape;
                }
            }
            i = j + 1;
        }
        if (i == std::string_view::npos) break;
    }
    return shape;
}

// --- binary -------------------------------------------------------------------

std::uint64_t big_endian(const unsigned char* p, unsigned n) {
    std::uint64_t v = 0;
    for (unsigned k = 0; k < n; ++k) v = (v << 8) | p[k];
    return v;
}

class BinaryWalk {
public:
    explicit BinaryWalk(std::string_view data)
        : d_(reinterpret_cast<const unsigned char*>(data.data())), size_(data.size()) {}

    // nullopt when the nesting is within `limit`, else the problem.
    std::optional<std::string> check(int limit) {
        if (size_ < kBinaryMagic.size() + 32) return damaged();
        const unsigned char* t = d_ + size_ - 32;
        offsetSize_ = t[6];
        refSize_ = t[7];
        const std::uint64_t count = big_endian(t + 8, 8);
        const std::uint64_t root = big_endian(t + 16, 8);
        const std::uint64_t table = big_endian(t + 24, 8);
        if (!valid_width(offsetSize_) || !valid_width(refSize_)) return damaged();
        const std::uint64_t trailer = size_ - 32;
        if (count == 0 || root >= count || table < kBinaryMagic.size() || table > trailer) return damaged();
        if (count > (trailer - table) / offsetSize_) return damaged();
        table_ = d_ + table;
        count_ = count;

        // Depth-first, with an explicit stack: each object once, each
        // reference once.
        std::vector<std::uint8_t> state(count, 0);  // 0 new, 1 on the path, 2 done
        struct Frame {
            std::uint64_t object;
            std::uint64_t next;   // next reference to follow
            std::uint64_t refs;   // references of the object
            const unsigned char* first;
        };
        std::vector<Frame> path;
        auto enter = [&](std::uint64_t object) -> std::optional<std::string> {
            if (state[object] == 2) return std::nullopt;
            if (state[object] == 1) return damaged();  // it contains itself
            Frame f{object, 0, 0, nullptr};
            bool container = false;
            if (!references(object, &container, &f.refs, &f.first)) return damaged();
            // Every array, set or dictionary is a level, an empty one too.
            if (container && static_cast<int>(path.size()) + 1 > limit) return too_deep(limit);
            if (f.refs == 0) {
                state[object] = 2;
                return std::nullopt;
            }
            state[object] = 1;
            path.push_back(f);
            return std::nullopt;
        };
        if (auto problem = enter(root)) return problem;
        while (!path.empty()) {
            Frame& f = path.back();
            if (f.next == f.refs) {
                state[f.object] = 2;
                path.pop_back();
                continue;
            }
            const std::uint64_t child = big_endian(f.first + f.next * refSize_, refSize_);
            ++f.next;
            if (child >= count_) return damaged();
            if (auto problem = enter(child)) return problem;
        }
        return std::nullopt;
    }

private:
    static bool valid_width(unsigned w) { return w == 1 || w == 2 || w == 4 || w == 8; }
    static std::string damaged() { return "damaged binary property list"; }

    // Whether the object is an array, set or dictionary, the references it
    // holds (keys and values) and where they start; 0 for every other object. False when the object
    // or its references lie outside the data.
    bool references(std::uint64_t object, bool* container, std::uint64_t* refs, const unsigned char** first) const {
        const std::uint64_t offset = big_endian(table_ + object * offsetSize_, offsetSize_);
        const std::uint64_t end = size_ - 32;
        if (offset < kBinaryMagic.size() || offset >= end) return false;
        const unsigned char marker = d_[offset];
        const unsigned type = marker >> 4;
        *refs = 0;
        *container = type == 0xA || type == 0xC || type == 0xD;
        if (!*container) return true;
        std::uint64_t n = marker & 0x0F;
        std::uint64_t pos = offset + 1;
        if (n == 0x0F) {
            // The count follows as an integer object.
            if (pos >= end || (d_[pos] >> 4) != 0x1) return false;
            const unsigned width = 1u << (d_[pos] & 0x0F);
            if (width > 8 || pos + 1 + width > end) return false;
            n = big_endian(d_ + pos + 1, width);
            pos += 1 + width;
        }
        const std::uint64_t total = type == 0xD ? n * 2 : n;
        if (type == 0xD && n > std::numeric_limits<std::uint64_t>::max() / 2) return false;
        if (total > (end - pos) / refSize_) return false;
        *refs = total;
        *first = d_ + pos;
        return true;
    }

    const unsigned char* d_;
    std::size_t size_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    const unsigned char* table_ = nullptr;
    std::uint64_t count_ = 0;
};

}  // namespace

std::optional<std::string> plist_nesting_problem(std::string_view data, int maxNesting) {
    if (is_binary(data)) return BinaryWalk(data).check(maxNesting);
    // Only what the reader would parse as XML is weighed: settings text or a
    // raw file's bytes may hold any number of '<'.
    if (data.find("<plist") == std::string_view::npos) return std::nullopt;
    const XmlShape shape = xml_shape(data, maxNesting, kPlistMaxKeyComparisons);
    if (shape.deepest > maxNesting) return too_deep(maxNesting);
    if (shape.keyComparisons > kPlistMaxKeyComparisons) return "too many keys in its dictionaries";
    return std::nullopt;
}

plist_t plist_read(std::string_view data, std::string* error) {
    auto fail = [error](std::string why) -> plist_t {
        if (error) *error = std::move(why);
        return nullptr;
    };
    const bool binary = is_binary(data);
    if (data.empty() || (!binary && data.find("<plist") == std::string_view::npos)) return fail("no property list");
    if (data.size() > std::numeric_limits<std::uint32_t>::max()) return fail("too large");
    if (auto problem = plist_nesting_problem(data)) return fail(*problem);
    CNumericScope c_numbers;
    plist_t root = nullptr;
    if (binary)
        plist_from_bin(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    else
        plist_from_xml(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    if (!root) return fail(binary ? "damaged binary property list" : "damaged XML property list");
    if (error) error->clear();
    return root;
}

}  // namespace dvk
