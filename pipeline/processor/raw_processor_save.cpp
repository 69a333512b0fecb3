// RawProcessor: the save format, output naming and saving.
//
// A save never leaves a file that looks complete but is not: the writers
// write into a temporary file in the destination folder, which is renamed to
// the destination only when everything was written. The destination's folder
// is made only here, when a file is written into it, and what writes that a
// kill cut off left there is removed then.
//
// Nothing is ever written onto the raw file being developed, whatever the
// names and links: a raw named like its own output (photo.tiff) gets a
// numbered output, and a destination that is the raw file itself is refused.
// Nor onto any other raw file (a.dng's a.tiff may be a scanner's raw): a
// destination where a file opens as a raw takes the next numbered name.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pipeline/load/raw_probe.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/writers/save_formats.h"
#include "pipeline/writers/jpeg_writer.h"
#include "pipeline/writers/safe_output.h"

#include "platform/folder_functions.h"
#include "platform/stage_timer.h"
namespace dvk {

void RawProcessor::setSaveFormat(int code) {
    willChangeValueForKey("saveFormat");
    saveFormat_ = code = clamp_setting("saveFormat", code);
    dvklib_->writer_variant = 0;
    const SaveFormat* row = save_format(code);
    if (row) {
        dvklib_->save_writer = row->writer;
        dvklib_->writer_variant = row->variant;
        if (row->output_gamma != 0.0) dvklib_->output_gamma = row->output_gamma;
        if (row->jpeg_quality >= 0) setComprQuality(row->jpeg_quality);
        setOutputProfile(row->output_profile);
        setRaw(row->raw);
        // A destination file (not a folder) follows the format's extension.
        const std::string& dest = destinationFile_;
        if (!dest.empty() && dest.back() != '/' && !path_extension(dest).empty())
            setDestinationFile(deleting_path_extension(dest) + "." + row->extension);
    }
    didChangeValueForKey("saveFormat");
}

std::string RawProcessor::makeDefaultBaseName() const {
    return dvk::makeDefaultBaseName(fileName_, is_jpeg_writer(dvklib_->save_writer));
}

namespace {

constexpr const char* kIsTheRawFile = "it is the raw file being developed";

// Whether the output may never go to `path`, whatever the overwrite rule:
// something is there that is no regular file, the raw file `source` itself,
// or another file that opens as a raw file. Only a file that is there is
// read, and the first reading's answers are kept per file.
bool never_written_over(const std::string& path, const std::string& source) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) return true;
    return same_existing_file(path, source) || identify_raw_file(path).is_raw();
}

}  // namespace

std::string RawProcessor::makeFullDestinationFileName() const {
    const std::string path =
        dvk::makeFullDestinationFileName(fileName_, destinationFile_, is_jpeg_writer(dvklib_->save_writer));
    // A name made from the raw file's own that is the raw file itself.
    const bool madeFromTheSource = destinationFile_.empty() || destinationFile_.back() == '/';
    if (madeFromTheSource && same_existing_file(path, fileName_)) {
        const auto taken = [this](const std::string& p) { return never_written_over(p, fileName_); };
        return first_name_not_taken(path, taken).value_or(path);
    }
    return path;
}

std::optional<std::string> RawProcessor::spinCounterOnFileIfExists(const std::string& path) const {
    return dvk::spinCounterOnFileIfExists(path);
}

std::optional<std::string> RawProcessor::destinationForWriting(
    std::string* reason, const std::function<bool(const std::string&)>& alsoTaken) const {
    const auto refuse = [reason](const char* why) -> std::optional<std::string> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    const std::string path = makeFullDestinationFileName();
    if (path.empty()) return refuse("no destination");
    // A destination given as something that is no file nor folder (a device,
    // a pipe) is not made into a file beside it.
    if (!destinationFile_.empty() && destinationFile_.back() != '/') {
        const std::string given = destinationFile_[0] == '/'
                                      ? destinationFile_
                                      : appending_path_component(deleting_last_path_component(fileName_),
                                                                 destinationFile_);
        struct stat st;
        if (::stat(given.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            if (reason) *reason = given + " is not a regular file or folder";
            return std::nullopt;
        }
    }
    // The raw file itself, named as the destination, is refused by the caller.
    if (!dontOverwriteOnSave_ && same_existing_file(path, fileName_) && !(alsoTaken && alsoTaken(path)))
        return path;
    // Taken: what `alsoTaken` names, any file there when nothing may be
    // overwritten, and what is never written over.
    const auto taken = [&](const std::string& p) {
        if (alsoTaken && alsoTaken(p)) return true;
        if (dontOverwriteOnSave_) return exists_at(p);
        return never_written_over(p, fileName_);
    };
    // The output path itself when something other than a regular file is
    // there: the caller refuses it with that reason.
    if (!dontOverwriteOnSave_ && !(alsoTaken && alsoTaken(path)) && !not_a_file_refusal(path).empty())
        return path;
    std::optional<std::string> free_path = first_name_not_taken(path, taken);
    if (!free_path) return refuse("every numbered name is taken");
    return free_path;
}

bool RawProcessor::isDestinationFileWritable(std::string* out, std::string* reason) const {
    if (out) out->clear();
    if (reason) reason->clear();
    std::optional<std::string> path = destinationForWriting(reason);
    if (!path) return false;
    if (out) *out = *path;
    if (same_existing_file(*path, fileName_)) {
        if (reason) *reason = kIsTheRawFile;
        return false;
    }
    return destination_path_writable(*path, reason);
}

int RawProcessor::writeJPEG() {
    if (destinationFile_.empty()) return 0;
    SafeOutputFile out(destinationFile_);
    if (!out.stream()) return 2;
    int r = write_jpeg(dvklib_, out.stream(), dvklib_->image_data(), imageWidth(), imageHeight(), rawMode_,
                       comprQuality_, tiffXResolution_, tiffYResolution_);
    if (r != 0) return 1;  // the temporary file goes with `out`
    return out.commit() ? 0 : 1;
}

int RawProcessor::saveImage() {
    saveError_.clear();
    const auto fail = [this](int code, std::string why) {
        saveError_ = std::move(why);
        return code;
    };
    set_source_file(dvklib_, fileName_.c_str());
    std::string unwritable;
    std::optional<std::string> path = destinationForWriting(&unwritable);
    if (!path) {
        // The path it tried (the destination setting may be empty or a folder).
        setDestinationFile(makeFullDestinationFileName());
        return fail(1, unwritable);
    }
    setDestinationFile(*path);
    if (destinationFile_.empty()) return fail(1, "no destination");
    dvklib_->dest_file = destinationFile_.c_str();
    if (!dvklib_->save_writer || !dvklib_->image_data()) return fail(1, "no developed image");
    if (same_existing_file(destinationFile_, fileName_)) {
        std::fprintf(stderr, "%s: not written: %s\n", destinationFile_.c_str(), kIsTheRawFile);
        return fail(1, kIsTheRawFile);
    }
    for (const std::string& refusal : {name_length_refusal(destinationFile_), not_a_file_refusal(destinationFile_)})
        if (!refusal.empty()) {
            std::fprintf(stderr, "%s: not written: %s\n", destinationFile_.c_str(), refusal.c_str());
            return fail(1, refusal);
        }
    const std::string folder = deleting_last_path_component(destinationFile_);
    if (!createDirectoryPath(folder)) {
        const std::string why = std::strerror(errno);
        std::fprintf(stderr, "Can't make the folder %s: %s\n", folder.c_str(), why.c_str());
        return fail(1, "its folder cannot be made: " + why);
    }
    for (const std::string& leftover : remove_dead_writers_leftovers(folder))
        std::fprintf(stderr, "Removed %s, left by a save that was cut off\n", leftover.c_str());

    StageTimer timer("write");
    int result;
    errno = 0;
    if (is_jpeg_writer(dvklib_->save_writer)) {
        result = writeJPEG();
    } else {
        SafeOutputFile out(destinationFile_);
        if (!out.stream()) {
            const std::string why = std::strerror(errno);
            std::fprintf(stderr, "%s: %s\n", destinationFile_.c_str(), why.c_str());
            return fail(1, why);
        }
        incProgressBy(5);
        result = dvklib_->save_writer(dvklib_, out.stream(), dvklib_->image_data(), imageWidth(), imageHeight(),
                                      rawMode_, comprQuality_, tiffXResolution_, tiffYResolution_);
        timer.lap("commit");
        if (result == 0 && !out.commit()) {
            std::perror(destinationFile_.c_str());
            result = 3;
        }
    }
    // The system's reason when it gave one (a full disk, a file too large).
    if (result != 0) saveError_ = errno != 0 ? std::strerror(errno) : "the image could not be written";
    incProgressBy(5);
    return result;
}

}  // namespace dvk
