// ProfilingWorkflow: making the profile with Argyll's colprof.
//
// The measurements go into a private temporary TI3 file; colprof writes the
// profile under a temporary name beside the chosen path on a worker thread.
// Only when it exits with status 0 and LittleCMS opens the result as an RGB
// input profile is it renamed into place, remembered and, when it landed in
// the profile folder, made the open file's camera profile. Both temporary
// files are gone on every path.
#include <lcms2.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "pipeline/processor/raw_processor.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/folders.h"
#include "platform/user_defaults.h"
#include "pipeline/writers/output_naming.h"
#include "profiling/private_files.h"
#include "profiling/profiling_workflow.h"

namespace dvk {

namespace {

// colprof runs in seconds for the usual charts; a run this long is stuck.
constexpr std::chrono::minutes kColprofTimeLimit{10};

bool has_profile_extension(const std::string& path) {
    const std::filesystem::path p(path);
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".icc" || ext == ".icm";
}

// Valid UTF-8 as it stands; otherwise every byte outside ASCII becomes '?'.
std::string readable_text(const std::string& bytes) {
    const std::size_t n = bytes.size();
    bool valid = true;
    for (std::size_t i = 0; i < n && valid;) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= n) {
            valid = false;
            break;
        }
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) valid = false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    if (valid) return bytes;
    std::string text = bytes;
    for (char& c : text)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return text;
}

// Empty when `path` holds an ICC profile of an RGB input device; else why not.
std::string check_rgb_input_profile(const std::string& path) {
    cmsHPROFILE profile = cmsOpenProfileFromFile(path.c_str(), "r");
    if (!profile) return "it is no ICC profile";
    const bool rgb = cmsGetColorSpace(profile) == cmsSigRgbData;
    const bool input = cmsGetDeviceClass(profile) == cmsSigInputClass;
    cmsCloseProfile(profile);
    if (!rgb) return "it is not an RGB profile";
    if (!input) return "it is not an input profile";
    return {};
}

bool same_folder(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    const auto ca = std::filesystem::weakly_canonical(a, ec1);
    const auto cb = std::filesystem::weakly_canonical(b, ec2);
    if (ec1 || ec2) return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
    return ca == cb;
}

std::string quoted_for_log(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) {
        if (!line.empty()) line += ' ';
        if (a.find_first_of(" \t\"'") == std::string::npos && !a.empty()) {
            line += a;
        } else {
            line += '"';
            for (char c : a) {
                if (c == '"' || c == '\\') line += '\\';
                line += c;
            }
            line += '"';
        }
    }
    return line;
}

}  // namespace

struct ProfilingWorkflow::ProfileRun {
    PrivateFile ti3;          // the measurements colprof reads
    PrivateFile output;       // what colprof writes, beside `profilePath`
    std::string profilePath;  // where the profile goes
    std::string rawFile;      // the file open when the run started
    ProcessRequest request;
    ProcessResult result;
    std::string failure;  // why a finished run made no profile
    bool installed = false;
};

namespace {

ProcessRequest colprof_request(const std::string& make, const std::string& model, const std::string& description,
                               const std::string& originator, const std::string& ti3Path,
                               const std::string& profilePath) {
    ProcessRequest request;
    request.program = "colprof";
    // Argyll takes an option with nothing attached as wanting the next
    // argument, so no value here is ever empty.
    request.arguments = {"-v",
                         "-qu",
                         "-aG",
                         "-A" + (make.empty() ? std::string("GENERIC") : make),
                         "-M" + (model.empty() ? std::string("GENERIC") : model),
                         "-D" + description,
                         "-C" + originator,
                         "-O" + profilePath,
                         deleting_path_extension(ti3Path)};
    request.environment["LC_ALL"] = std::string("C");
    request.output = OutputMode::Merge;
    request.time_limit = kColprofTimeLimit;
    return request;
}

ProcessRequest request_for(RawProcessor* p, const std::string& description, const std::string& originator,
                           const std::string& ti3Path, const std::string& profilePath) {
    std::string make, model;
    if (p && p->dvklib() && p->dvklib()->libraw) {
        const libraw_iparams_t& id = p->dvklib()->libraw->imgdata.idata;
        make.assign(id.make, strnlen(id.make, sizeof id.make));
        model.assign(id.model, strnlen(id.model, sizeof id.model));
    }
    return colprof_request(make, model, description, originator, ti3Path, profilePath);
}

}  // namespace

ProcessResult ProfilingWorkflow::runColProfWithTI3(const std::string& ti3Path, const std::string& profilePath) const {
    return process_runner()->run(
        request_for(host_.processor(), effectiveDescription(), effectiveOriginator(), ti3Path, profilePath));
}

void ProfilingWorkflow::saveProfile() {
    if (!fileOpenAndIdle() || refuseUnfinishedSampling()) return;
    if (running_) {
        logf("colprof is still making the last profile.\n");
        return;
    }
    RawProcessor* p = host_.processor();
    auto run = std::make_shared<ProfileRun>();

    // A private file: nothing planted in the temporary folder is written
    // through, and two programs never share it. colprof needs the ".ti3".
    run->ti3 = PrivateFile(temporaryDirectory() + "/dvkprofiler-", ".ti3");
    if (!run->ti3.ok()) {
        logf("Error - can't create a temporary TI3 file in %s: %s\n", temporaryDirectory().c_str(),
             std::strerror(errno));
        return;
    }
    if (!saveTI3File(run->ti3.path())) return;

    int iso = 0;
    if (p->dvklib() && p->dvklib()->libraw) {
        const double speed = p->dvklib()->libraw->imgdata.other.iso_speed;
        if (std::isfinite(speed) && std::fabs(speed) < 1e9) iso = static_cast<int>(speed);
    }
    const std::string suggested = p->camera() + " ISO" + std::to_string(iso) + " " +
                                  deleting_path_extension(last_path_component(p->fileName()));
    const std::string folder = profileFolder();
    createDirectoryPath(folder);
    auto chosen = platform_.runSavePanel({{"icc", "icm"}, folder, suggested});
    if (!chosen) return;
    run->profilePath = has_profile_extension(*chosen) ? *chosen : *chosen + ".icc";
    run->output = PrivateFile(folder_of(run->profilePath) + "/." +
                                  deleting_path_extension(last_path_component(run->profilePath)) + "-",
                              ".icc");
    if (!run->output.ok()) {
        logf("Can't write the profile %s: %s\n", run->profilePath.c_str(), std::strerror(errno));
        return;
    }
    run->rawFile = p->fileName();
    run->request = request_for(p, effectiveDescription(), effectiveOriginator(), run->ti3.path(), run->output.path());
    logf("colprof %s\n", quoted_for_log(run->request.arguments).c_str());

    joinWorker();
    running_ = true;
    changed(ProfilingChange::Running);
    std::weak_ptr<int> alive = lifeToken_;
    worker_ = std::thread([this, run, alive] {
        run->result = process_runner()->run(run->request);
        run->ti3.remove();
        if (run->result.succeeded()) {
            run->failure = check_rgb_input_profile(run->output.path());
            if (run->failure.empty()) {
                // colprof wrote into the private file (mode 0600): the profile
                // gets the mode of the file it replaces, or a new file's.
                if (chmod(run->output.path().c_str(), mode_for_replacing(run->profilePath)) != 0) {
                    run->failure = std::string("its permissions cannot be set: ") + std::strerror(errno);
                } else if (std::rename(run->output.path().c_str(), run->profilePath.c_str()) == 0) {
                    run->output.release();
                    run->installed = true;
                } else {
                    run->failure = std::string("it cannot be moved into place: ") + std::strerror(errno);
                }
            }
        }
        run->output.remove();
        runOnMainQueue([this, run, alive] {
            if (alive.lock()) finishProfile(*run);
        });
    });
}

void ProfilingWorkflow::finishProfile(const ProfileRun& run) {
    running_ = false;
    changed(ProfilingChange::Running);
    const ProcessResult& r = run.result;
    if (!r.started()) {
        logf("Something bad happened with colprof (crashed?).\n%s\n", r.start_error.c_str());
        return;
    }
    if (run.installed) {
        defaults_.setString("ProfileFile", run.profilePath);
        defaults_.synchronize();
    }
    appendToProfTextView(readable_text(r.output), false);
    if (r.outcome != ProcessOutcome::Exited) {
        logf("Something bad happened with colprof (crashed?).\n%s\n", r.describe().c_str());
        return;
    }
    if (r.exit_status != 0) {
        logf("colprof failed with exit status %d: no profile was made.\n", r.exit_status);
        return;
    }
    if (!run.installed) {
        logf("colprof made no usable profile (%s); nothing was changed.\n", run.failure.c_str());
        return;
    }
    // The new profile becomes the open file's camera profile when it went into
    // the profile folder, and only for the file it was made from.
    RawProcessor* p = host_.processor();
    if (same_folder(folder_of(run.profilePath), profileFolder()) && p && p->fileName() == run.rawFile) {
        host_.createProfileMenu();
        host_.setCustomCameraProfile(last_path_component(run.profilePath));
    }
}

void ProfilingWorkflow::waitForProfileRun() { joinWorker(); }

void ProfilingWorkflow::joinWorker() {
    if (worker_.joinable()) worker_.join();
}

void ProfilingWorkflow::openCurrentProfile() {
    RawProcessor* p = host_.processor();
    if (!p) return;
    // Built-in profile names are no files.
    const std::string& profile = p->customRawProfile();
    if (!profile.empty() && profile[0] == '/') platform_.openWithSystem(profile);
}

}  // namespace dvk
