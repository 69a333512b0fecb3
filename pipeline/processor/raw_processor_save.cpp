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
#include <cerrno>
#include <cstdio>
#include <cstring>

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

}  // namespace

std::string RawProcessor::makeFullDestinationFileName() const {
    const std::string path =
        dvk::makeFullDestinationFileName(fileName_, destinationFile_, is_jpeg_writer(dvklib_->save_writer));
    // A name made from the raw file's own that is the raw file itself.
    const bool madeFromTheSource = destinationFile_.empty() || destinationFile_.back() == '/';
    if (madeFromTheSource && same_existing_file(path, fileName_))
        return dvk::spinCounterOnFileIfExists(path).value_or(path);
    return path;
}

std::optional<std::string> RawProcessor::spinCounterOnFileIfExists(const std::string& path) const {
    return dvk::spinCounterOnFileIfExists(path);
}

bool RawProcessor::isDestinationFileWritable(std::string* out, std::string* reason) const {
    if (out) out->clear();
    if (reason) reason->clear();
    std::string path = makeFullDestinationFileName();
    if (path.empty()) return false;
    if (dontOverwriteOnSave_) {
        std::optional<std::string> free_path = spinCounterOnFileIfExists(path);
        if (!free_path) {
            if (reason) *reason = "every numbered name is taken";
            return false;
        }
        path = *free_path;
    }
    if (out) *out = path;
    if (same_existing_file(path, fileName_)) {
        if (reason) *reason = kIsTheRawFile;
        return false;
    }
    return destination_path_writable(path, reason);
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
    setDestinationFile(makeFullDestinationFileName());
    if (dontOverwriteOnSave_) {
        std::optional<std::string> free_path = spinCounterOnFileIfExists(destinationFile_);
        if (!free_path) return fail(1, "every numbered name is taken");
        setDestinationFile(*free_path);
    }
    if (destinationFile_.empty()) return fail(1, "no destination");
    dvklib_->dest_file = destinationFile_.c_str();
    if (!dvklib_->save_writer || !dvklib_->image_data()) return fail(1, "no developed image");
    if (same_existing_file(destinationFile_, fileName_)) {
        std::fprintf(stderr, "%s: not written: %s\n", destinationFile_.c_str(), kIsTheRawFile);
        return fail(1, kIsTheRawFile);
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
