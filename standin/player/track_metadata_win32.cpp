// Lengths come from Media Foundation's source reader. Tags come from the file's ID3v2 block: the
// shell's property store and the media source's metadata service answer nothing under Wine.
// The bit rate stays unknown, as the source reader there describes the decoded stream only.

#include <windows.h>
// Media Foundation's headers need windows.h first.
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <wrl/client.h>

#include "standin/player/id3v2_tags.h"
#include "standin/player/media_files.h"
#include "standin/player/track_metadata.h"

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;

// COM on the calling thread while the object lives; a thread that has it already keeps it.
class com_on_thread {
  public:
    com_on_thread() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~com_on_thread() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    com_on_thread(const com_on_thread&) = delete;
    com_on_thread& operator=(const com_on_thread&) = delete;

  private:
    HRESULT result_;
};

// Media Foundation, started on first use and shut down when the program ends.
class media_foundation {
  public:
    static bool available() {
        static const media_foundation instance;
        return instance.started_;
    }

    ~media_foundation() {
        if (started_) {
            MFShutdown();
        }
    }
    media_foundation(const media_foundation&) = delete;
    media_foundation& operator=(const media_foundation&) = delete;

  private:
    media_foundation() : started_(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE))) {}

    bool started_;
};

// The file's playing time in seconds; 0 when it cannot be read as audio.
double read_length(const std::filesystem::path& file) {
    const com_on_thread com;
    if (!media_foundation::available()) {
        return 0.0;
    }
    // An empty attribute store rather than none: Wine's reader reads through the pointer.
    ComPtr<IMFAttributes> attributes;
    ComPtr<IMFSourceReader> reader;
    if (FAILED(MFCreateAttributes(&attributes, 1)) ||
        FAILED(MFCreateSourceReaderFromURL(file.c_str(), attributes.Get(), &reader))) {
        return 0.0;
    }
    PROPVARIANT duration;
    PropVariantInit(&duration);
    double seconds = 0.0;
    if (SUCCEEDED(reader->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION,
                                                   &duration)) &&
        duration.vt == VT_UI8) {
        seconds = static_cast<double>(duration.uhVal.QuadPart) / 1e7;  // 100-ns units
    }
    PropVariantClear(&duration);
    return seconds;
}

}  // namespace

track_metadata read_track_metadata(const std::string& native_path) {
    const std::filesystem::path file = path_from_utf8(native_path);
    track_metadata metadata;
    metadata.length = read_length(file);
    if (metadata.length > 0.0) {
        metadata.tags = read_id3v2_file(file);
    }
    return metadata;
}

}  // namespace standin
