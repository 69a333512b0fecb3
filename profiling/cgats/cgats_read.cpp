// Reading CGATS files: a token-driven state machine over the tokenizer, and the
// settling of each field's type once its table's data has been read.
#include <cstring>
#include <optional>

#include "profiling/cgats/cgats.h"
#include "profiling/cgats/cgats_numbers.h"
#include "profiling/cgats/parse.h"

namespace dvk {
namespace {

// Order of widening of value kinds: integer, real, non-quoted string, quoted string.
int kind_rank(data_type t) {
    switch (t) {
    case data_type::integer: return 0;
    case data_type::real: return 1;
    case data_type::nonquoted_string: return 2;
    case data_type::char_string: return 3;
    default: return 0;
    }
}

// A token of two or more characters that starts and ends with a double quote
// loses them, and each doubled quote inside becomes one.
cgats_string unquote(cgats_alloc* al, const char* text) {
    const std::size_t len = std::strlen(text);
    if (len < 2 || text[0] != '"' || text[len - 1] != '"') return cgats_string(text, cgats_allocator<char>(al));
    cgats_string out{cgats_allocator<char>(al)};
    out.reserve(len - 2);
    for (std::size_t i = 1; i + 1 < len; ++i) {
        out += text[i];
        if (text[i] == '"' && i + 2 < len && text[i + 1] == '"') ++i;
    }
    return out;
}

}  // namespace

class cgats::reader {
public:
    reader(cgats& c, cgats_file* fp, parse& p) : c_(c), fp_(fp), p_(p) {}

    // Called after each line is read: the tokenizer forgets its line count at end of file.
    void line_read() { last_line_ = p_.line(); }

    int token(const char* tok) {
        switch (state_) {
        case state::top: return top(tok);
        case state::value: return value(tok);
        case state::format: return format(tok);
        case state::data: return data(tok);
        }
        return 0;
    }

    // End of file: a table whose data section never ended would hold text in
    // fields of no type and possibly a partial set; refuse it.
    int finish() {
        if (state_ == state::data)
            return c_.fail(-1, "Error at line %d of file '%s': End of file before END_DATA", last_line_,
                           fp_->get_name());
        return 0;
    }

private:
    enum class state { top, value, format, data };

    bool is(const char* tok, const char* word) const { return std::strcmp(tok, word) == 0; }

    // The table type of an identifier token, or nothing. May record the
    // CGATS.X identifier or fill an empty "other" identifier.
    std::optional<std::pair<table_type, int>> identifier(const char* tok, int& rv) {
        static const char* const standard[] = {"IT8.7/1", "IT8.7/2", "IT8.7/3", "IT8.7/4", "CGATS.5"};
        for (int i = 0; i < 5; ++i)
            if (is(tok, standard[i])) return std::pair{static_cast<table_type>(i), 0};
        if (std::strncmp(tok, "CGATS.", 6) == 0) {
            try {
                c_.cgatsx_.emplace(tok, cgats_allocator<char>(c_.al_));
            } catch (const std::bad_alloc&) {
                c_.cgatsx_.reset();
                rv = c_.fail(-2, "Failed to malloc space for CGATS.X keyword");
                return std::nullopt;
            }
            return std::pair{table_type::cgats_x, 0};
        }
        for (int i = 0; i < c_.nothers(); ++i)
            if (c_.others_[i] == tok) return std::pair{table_type::other, i};
        if (c_.ntables() == 0) {
            for (int i = 0; i < c_.nothers(); ++i) {
                if (!c_.others_[i].empty()) continue;
                try {
                    c_.others_[i] = tok;
                } catch (const std::bad_alloc&) {
                    rv = c_.fail(-2, "Failed to malloc space for tt_otherkeyword");
                    return std::nullopt;
                }
                return std::pair{table_type::other, i};
            }
        }
        return std::nullopt;
    }

    // A table that follows an ended one without an identifier repeats its
    // type, keywords and field names.
    int repeat_previous_table() {
        const cgats_table& prev = c_.tables_.back();
        const table_type type = prev.type_;
        const int oi = prev.oi_;
        const int t = c_.add_table(type, oi);
        if (t < 0) return t;
        try {
            const cgats_table& from = c_.tables_[t - 1];
            cgats_table& to = c_.tables_[t];
            to.kwords_.reserve(from.kwords_.capacity());
            for (const auto& kw : from.kwords_) to.kwords_.push_back(kw);
            to.fields_.reserve(from.fields_.capacity());
            for (const auto& f : from.fields_) to.fields_.push_back(cgats_table::field{f.name, data_type::no_type});
        } catch (const std::bad_alloc&) {
            return c_.fail(-2, "cgats.read(), malloc failed!");
        }
        return t;
    }

    int start_table(table_type type, int oi) {
        const int t = c_.add_table(type, oi);
        if (t < 0) return t;
        table_ = t;
        started_ = true;
        expected_.reset();
        return 0;
    }

    int top(const char* tok) {
        // Identifiers are looked for only where a table can start: inside a
        // table a keyword that happens to equal one (the file's own "other"
        // identifier, say) must not be swallowed, shifting its value into a name.
        if (!started_) {
            int rv = 0;
            const auto id = identifier(tok, rv);
            if (rv < 0) return rv;
            if (id) return start_table(id->first, id->second);
        }
        if (c_.ntables() == 0)
            return c_.fail(-1, "Error at line %d of file '%s': No file identifier found", p_.line(), fp_->get_name());
        if (!started_) {
            const int t = repeat_previous_table();
            if (t < 0) return t;
            table_ = t;
            started_ = true;
            expected_.reset();
        }
        if (is(tok, "BEGIN_DATA_FORMAT")) {
            if (const int r = c_.clear_field(table_); r < 0) return r;
            state_ = state::format;
        } else if (is(tok, "SAMPLE_ID")) {
            if (const int r = c_.clear_field(table_); r < 0) return r;
            if (const int r = c_.add_field_typed(table_, tok, data_type::no_type, false); r < 0) return r;
            state_ = state::format;
        } else if (is(tok, "BEGIN_DATA")) {
            state_ = state::data;
        } else {
            return expect_value_of(tok);
        }
        return 0;
    }

    // Keeps `tok` as the keyword whose value is the next token.
    int expect_value_of(const char* tok) {
        try {
            kword_.emplace(tok, cgats_allocator<char>(c_.al_));
        } catch (const std::bad_alloc&) {
            return c_.fail(-2, "cgats.read(), malloc failed!");
        }
        state_ = state::value;
        return 0;
    }

    int value(const char* tok) {
        state_ = state::top;
        const char* name = kword_->c_str();
        if (is(name, "NUMBER_OF_SETS")) expected_ = cgats_parse_int(tok);
        if (reserved_keyword(name)) return 0;
        try {
            cgats_string v = unquote(c_.al_, tok);
            const int k = c_.find_kword(table_, name);
            if (k >= 0) {
                *c_.tables_[table_].kwords_[k].value = std::move(v);
                return 0;
            }
            const int r = c_.add_kword(table_, name, v.c_str(), nullptr);
            return r < 0 ? r : 0;
        } catch (const std::bad_alloc&) {
            return c_.fail(-2, "cgats.alloc_copy_data_type() malloc fail");
        }
    }

    int format(const char* tok) {
        if (is(tok, "END_DATA_FORMAT")) {
            state_ = state::top;
        } else if (is(tok, "BEGIN_DATA")) {
            state_ = state::data;
        } else if (is(tok, "DEVICE_NAME")) {
            return expect_value_of(tok);
        } else {
            const int r = c_.add_field_typed(table_, tok, data_type::no_type, false);
            if (r < 0) return r;
        }
        return 0;
    }

    int data(const char* tok) {
        if (is(tok, "END_DATA")) return end_data();
        return add_item(tok);
    }

    int add_item(const char* tok) {
        cgats_table& t = c_.tables_[table_];
        if (t.nfields() == 0)
            return c_.fail(-1, "Error at line %d of file '%s': Found data without field definitions", p_.line(),
                           fp_->get_name());
        if (t.sets_.empty() || t.sets_.back().size() == static_cast<std::size_t>(t.nfields())) {
            if (!room_for_one_more(t.sets_, 100)) return c_.fail(-2, "cgats.add_item(), realloc failed!");
            try {
                cgats_vector<cgats_table::cell> set{cgats_allocator<cgats_table::cell>(c_.al_)};
                set.reserve(static_cast<std::size_t>(t.nfields()));
                t.sets_.push_back(std::move(set));
            } catch (const std::bad_alloc&) {
                return c_.fail(-2, "cgats.add_item(), malloc failed!");
            }
        }
        try {
            t.sets_.back().emplace_back(cgats_string(tok, cgats_allocator<char>(c_.al_)));
        } catch (const std::bad_alloc&) {
            return c_.fail(-2, "cgats.add_item(), malloc failed!");
        }
        return 0;
    }

    int end_data() {
        cgats_table& t = c_.tables_[table_];
        const int nsets = t.nsets();
        if (nsets == 0)
            return c_.fail(-1, "Error at line %d of file '%s': End of data without any data being read", p_.line(),
                           fp_->get_name());
        if (expected_ && *expected_ != nsets)
            return c_.fail(-1, "Error at line %d of file '%s': Read %d sets, expected %d sets", p_.line(),
                           fp_->get_name(), nsets, *expected_);
        if (t.sets_.back().size() != static_cast<std::size_t>(t.nfields()))
            return c_.fail(-1, "Error at line %d of file '%s': Data was not an integer number of fields", p_.line(),
                           fp_->get_name());
        for (int f = 0; f < t.nfields(); ++f)
            if (const int r = settle_field(t, f); r < 0) return r;
        state_ = state::top;
        started_ = false;
        expected_.reset();
        return 0;
    }

    // Gives a field its type from its name and its values, then converts the
    // values from their text.
    int settle_field(cgats_table& t, int f) {
        auto& field = t.fields_[f];
        data_type kind = data_type::integer;
        for (const auto& set : t.sets_) {
            const data_type k = guess_value_type(std::get<cgats_string>(set[f]).c_str());
            if (kind_rank(k) > kind_rank(kind)) kind = k;
            if (kind == data_type::char_string) break;
        }
        const data_type standard = standard_field_type(field.name.c_str());
        data_type type;
        if (standard == data_type::real && (kind == data_type::integer || kind == data_type::real)) {
            type = data_type::real;
        } else if (standard == data_type::char_string || standard == data_type::nonquoted_string) {
            type = standard;
        } else if (standard != data_type::no_type) {
            return c_.fail(-1, "Error in file '%s': Field '%s' has unexpected type, should be '%s', is '%s'",
                           fp_->get_name(), field.name.c_str(), data_type_name(standard), data_type_name(kind));
        } else {
            type = kind;
        }
        try {
            for (auto& set : t.sets_) {
                auto& cell = set[f];
                const char* text = std::get<cgats_string>(cell).c_str();
                switch (type) {
                case data_type::integer: cell = cgats_parse_int(text); break;
                case data_type::real: cell = cgats_parse_real(text); break;
                default: cell = unquote(c_.al_, text); break;
                }
            }
        } catch (const std::bad_alloc&) {
            return c_.fail(-2, "cgats.read(), malloc failed!");
        }
        field.type = type;
        return 0;
    }

    cgats& c_;
    cgats_file* fp_;
    parse& p_;
    state state_ = state::top;
    bool started_ = false;  // a table was started since the last END_DATA
    int table_ = -1;
    std::optional<int> expected_;
    std::optional<cgats_string> kword_;
    int last_line_ = 0;
};

int cgats::read(cgats_file* fp) {
    clear_error();
    if (!fp) return fail(-1, "cgats.read(), no file given");
    parse_ptr p(new_parse(al_, fp));
    if (!p) return fail(-1, "Unable to create file parser for file '%s'", fp->get_name());
    p->add_del(" \t", " \t", "#", "\"");
    reader r(*this, fp, *p);
    for (;;) {
        const int n = p->read_line();
        if (n == 0) break;
        if (n < 0) return fail(-1, "%s", p->err());
        r.line_read();
        while (const char* tok = p->get_token()) {
            const int rv = r.token(tok);
            if (rv < 0) return rv;
        }
        if (p->errc() != 0) return fail(-1, "%s", p->err());
    }
    const int rv = r.finish();
    if (rv == 0) clear_error();
    return rv;
}

}  // namespace dvk
