#include "profiling/reference_files.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <vector>

#include "platform/regular_file.h"
#include "profiling/cgats/cgats_file.h"

namespace dvk {

namespace {

constexpr double kEpsilon = 0.008856451679035631;  // 216 / 24389
constexpr double kKappa = 903.2962962962963;       // 24389 / 27

std::string format_text(const char* format, const char* arg) {
    const int n = std::snprintf(nullptr, 0, format, arg);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, format, arg);
    return s;
}

bool has_fields(cgats* c, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (c->find_field(0, name) < 0) return false;
    return true;
}

// One set of the first table, one element per field.
bool get_set(cgats* c, int set, std::vector<cgats_set_elem>* values) {
    if (!c || c->ntables() < 1 || set < 0 || set >= c->table(0).nsets()) return false;
    values->assign(static_cast<std::size_t>(c->table(0).nfields()), cgats_set_elem{});
    return c->get_setarr(0, set, values->data()) == 0;
}

// The number in field f; integer fields convert. False for a string field.
bool number_at(const cgats* c, const std::vector<cgats_set_elem>& values, int f, double* out) {
    switch (c->table(0).field_type(f)) {
    case data_type::real: *out = values[f].d; return true;
    case data_type::integer: *out = values[f].i; return true;
    default: return false;
    }
}

// The id in field f; a numeric id (a non-standard file) is written back as text.
bool id_at(const cgats* c, const std::vector<cgats_set_elem>& values, int f, std::string* out) {
    const data_type type = c->table(0).field_type(f);
    if (type == data_type::char_string || type == data_type::nonquoted_string) {
        if (!values[f].c) return false;
        *out = cut_patch_id(values[f].c);
        return true;
    }
    if (type == data_type::integer) {
        *out = std::to_string(values[f].i);
        return true;
    }
    return false;
}

bool numbers_at(const cgats* c, const std::vector<cgats_set_elem>& values, const int fields[3],
                std::array<double, 3>* out, std::string* why) {
    for (int i = 0; i < 3; ++i)
        if (fields[i] < 0 || !number_at(c, values, fields[i], &(*out)[i])) {
            if (why && fields[i] >= 0) *why = std::string("its ") + c->table(0).field_name(fields[i]) + " is no number";
            return false;
        }
    return true;
}

// Why a set cannot be read, when it is not the set's own fault.
bool explain(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// "the first table has no F field (its fields: A B C)".
std::string missing_field(const cgats* c, const std::string& name) {
    std::string text = "the first table has no " + name + " field (its fields:";
    for (int f = 0; f < c->table(0).nfields(); ++f) text += std::string(" ") + c->table(0).field_name(f);
    return text + ")";
}

// The first of `names` that is not a field of the first table; empty when all are.
std::string first_missing(cgats* c, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (c->find_field(0, name) < 0) return name;
    return {};
}

// Checks what every set needs: the object, the output, the set itself.
bool set_readable(cgats* c, int set, const void* out, std::string* why) {
    if (!c || !out) return explain(why, "nothing to read");
    if (c->ntables() < 1) return explain(why, "there is no table");
    if (set < 0 || set >= c->table(0).nsets())
        return explain(why, "there is no set " + std::to_string(set) + " in the first table");
    return true;
}

}  // namespace

std::array<double, 3> lab_to_xyz100(double L, double a, double b) {
    const double Y = L > 8 ? std::pow((L + 16) / 116, 3) : L / kKappa;
    const double fy = ((Y > kEpsilon ? L : kKappa * Y) + 16) / 116;
    const double fx = a / 500 + fy;
    const double fz = fy - b / 200;
    const auto inverse = [](double f) {
        const double f3 = f * f * f;
        return f3 > kEpsilon ? f3 : (116 * f - 16) / kKappa;
    };
    return {inverse(fx) * 0.964242 * 100, Y * 100, inverse(fz) * 0.825124 * 100};
}

int read_reference_file(cgats* c, const char* path, std::string* error) {
    // Only a regular file of a sane size (a FIFO cannot hang the reader, a
    // device cannot feed it without end), with the reason when it is not.
    RegularFileRead failure;
    const int fd = open_regular_file(path ? path : "", kReferenceFileMaxBytes, &failure);
    if (fd < 0) {
        *error = "Unable to open file '" + std::string(path ? path : "") + "' for reading: " + failure.reason;
        return -1;
    }
    std::FILE* fp = fdopen(fd, "r");
    if (!fp) {
        ::close(fd);
        *error = "Memory allocation error";
        return -2;
    }
    cgats_file* file = new_file_fp(fp, nullptr, path);
    if (!file) {
        std::fclose(fp);
        *error = "Memory allocation error";
        return -2;
    }
    const int rv = c->read(file);
    file->del();
    std::fclose(fp);
    if (rv != 0) {
        *error = c->err();
        return -1;
    }
    error->clear();
    return 0;
}

cgats_ptr open_reference_cgats(const char* path, std::string* error) {
    cgats_ptr c(new_cgats());
    if (!c) {
        *error = "Memory allocation error\n";
        return nullptr;
    }
    // An empty "other" identifier accepts a first table of any identifier.
    c->add_other("");
    const int rv = read_reference_file(c.get(), path, error);
    if (rv != 0) {
        *error = rv == -2 ? *error + "\n" : "CGATS file read error : " + *error + "\n";
        return nullptr;
    }
    if (c->ntables() == 0) {
        *error = "Input file isn't a CGATS format file\n";
        return nullptr;
    }
    if (c->table(0).nsets() <= 0) {
        *error = format_text("File '%s' no sets of data in first table\n", path);
        return nullptr;
    }
    if (!has_fields(c.get(), {"LAB_L", "LAB_A", "LAB_B"}) && !has_fields(c.get(), {"XYZ_X", "XYZ_Y", "XYZ_Z"})) {
        *error = format_text("File '%s' has no full sets of LAB_L,LAB_A,LAB_B or XYZ_X,XYZ_Y,XYZ_Z\n", path);
        return nullptr;
    }
    error->clear();
    return c;
}

bool read_cie_set(cgats* c, int set, CIEPatch* out, std::string* why) {
    if (!set_readable(c, set, out, why)) return false;
    const int id = c->find_field(0, "SAMPLE_ID");
    if (id < 0) return explain(why, missing_field(c, "SAMPLE_ID"));
    // XYZ only when all three of its fields are there; Lab otherwise.
    const int xyz[3] = {c->find_field(0, "XYZ_X"), c->find_field(0, "XYZ_Y"), c->find_field(0, "XYZ_Z")};
    const bool has_xyz = xyz[0] >= 0 && xyz[1] >= 0 && xyz[2] >= 0;
    if (!has_xyz) {
        const std::string missing = first_missing(c, {"LAB_L", "LAB_A", "LAB_B"});
        if (!missing.empty()) return explain(why, missing_field(c, missing));
    }
    std::vector<cgats_set_elem> values;
    if (!get_set(c, set, &values)) return explain(why, "its values cannot be read");
    CIEPatch patch;
    if (!id_at(c, values, id, &patch.id)) return explain(why, "its SAMPLE_ID is no text");
    if (has_xyz) {
        if (!numbers_at(c, values, xyz, &patch.XYZ, why)) return false;
    } else {
        const int lab_fields[3] = {c->find_field(0, "LAB_L"), c->find_field(0, "LAB_A"), c->find_field(0, "LAB_B")};
        std::array<double, 3> lab;
        if (!numbers_at(c, values, lab_fields, &lab, why)) return false;
        patch.XYZ = lab_to_xyz100(lab[0], lab[1], lab[2]);
    }
    *out = std::move(patch);
    return true;
}

bool read_ti3_set(cgats* c, int set, TI3Patch* out, std::string* why) {
    if (!set_readable(c, set, out, why)) return false;
    const std::string missing =
        first_missing(c, {"SAMPLE_ID", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_B"});
    if (!missing.empty()) return explain(why, missing_field(c, missing));
    const int id = c->find_field(0, "SAMPLE_ID");
    const int rgb[3] = {c->find_field(0, "RGB_R"), c->find_field(0, "RGB_G"), c->find_field(0, "RGB_B")};
    const int sd[3] = {c->find_field(0, "STDEV_R"), c->find_field(0, "STDEV_G"), c->find_field(0, "STDEV_B")};
    std::vector<cgats_set_elem> values;
    if (!get_set(c, set, &values)) return explain(why, "its values cannot be read");
    TI3Patch patch;
    if (!id_at(c, values, id, &patch.id)) return explain(why, "its SAMPLE_ID is no text");
    if (!numbers_at(c, values, rgb, &patch.RGB, why) || !numbers_at(c, values, sd, &patch.RGBStdDev, why))
        return false;
    *out = std::move(patch);
    return true;
}

cgats_ptr new_ti3_cgats(const char* description, const char* originator) {
    if (!description && !originator) return nullptr;
    cgats_ptr c(new_cgats());
    if (!c) return nullptr;
    char created[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) {
        // The asctime form ("Www Mmm dd hh:mm:ss yyyy"), which is locale-free.
        static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        std::snprintf(created, sizeof created, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", days[local.tm_wday % 7],
                      months[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      1900 + local.tm_year);
    }
    const int other = c->add_other("CTI3");
    if (other < 0 || c->add_table(table_type::other, 0) < 0) return nullptr;
    if (c->add_kword(0, "DESCRIPTOR", description ? description : "", nullptr) < 0 ||
        c->add_kword(0, "ORIGINATOR", originator ? originator : "", nullptr) < 0 ||
        c->add_kword(0, "CREATED", created, nullptr) < 0 || c->add_kword(0, "DEVICE_CLASS", "INPUT", nullptr) < 0 ||
        c->add_kword(0, "COLOR_REP", "XYZ_RGB", nullptr) < 0)
        return nullptr;
    if (c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string) < 0) return nullptr;
    for (const char* name : {"XYZ_X", "XYZ_Y", "XYZ_Z", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_B"})
        if (c->add_field(0, name, data_type::real) < 0) return nullptr;
    return c;
}

bool add_ti3_set(cgats* c, const char* id, const double* Lab, const double* XYZ, const double RGB[3],
                 const double stdev[3]) {
    // An empty id would leave its row a field short.
    if (!c || !id || !*id || !RGB || !stdev || (!XYZ && !Lab)) return false;
    const std::array<double, 3> xyz = XYZ ? std::array<double, 3>{XYZ[0], XYZ[1], XYZ[2]}
                                          : lab_to_xyz100(Lab[0], Lab[1], Lab[2]);
    cgats_set_elem set[10];
    set[0].c = id;
    for (int i = 0; i < 3; ++i) {
        set[1 + i].d = xyz[i];
        set[4 + i].d = RGB[i];
        set[7 + i].d = stdev[i];
    }
    return c->add_setarr(0, set) == 0;
}

}  // namespace dvk
