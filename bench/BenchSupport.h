#pragma once
// Shared by the benchmark programs: the median of repeated runs and generated test songs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gst/gst.h>
#include <string>
#include <vector>

namespace bench {

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    auto n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Writes an MP3 (128 kbit/s, Xing header) of the given tenths of a second of a test wave.
// gst_init must have run. Ends the benchmark when it cannot.
inline void generateMp3(const std::string& path, int tenths, const char* wave = "sine")
{
    std::string desc = std::string("audiotestsrc wave=") + wave +
                       " volume=0.3 samplesperbuffer=4410 num-buffers=" + std::to_string(tenths) +
                       " ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc "
                       "target=bitrate bitrate=128 cbr=true ! xingmux ! filesink location=\"" +
                       path + "\"";
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(desc.c_str(), &err);
    if (!pipeline || err) {
        std::fprintf(stderr, "cannot generate %s\n", path.c_str());
        std::exit(1);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

} // namespace bench
