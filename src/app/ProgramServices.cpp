#include "ProgramServices.h"

#include "engine/SongFileName.h"
#include "platform/Sound.h"
#include "platform/TextFiles.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <cstdio>
#include <cstdlib>

namespace quavix {

namespace {

// The profile's "Broadcast" section, when there is one, sends what plays to a server as well.
// What is wrong with it goes to standard error: the station may run unattended.
void configureBroadcast(Profile& profile, GstMediaPlayer& media, const std::string& profilePath)
{
    std::vector<std::string> problems;
    const auto settings = readBroadcastSettings(profile, problems);
    if (settings)
        if (auto warning = passwordExposure(*settings, profilePath))
            problems.push_back(*warning);
    for (const std::string& line : problems)
        errorLine(line);
    if (!settings)
        return;
    media.setBroadcast(*settings, [](const std::string& item) {
        const auto parts = parseSongName(fileNamePart(item));
        if (!parts.ok)
            return std::string();
        return std::string(text::trim(parts.group)) + " - " + std::string(text::trim(parts.title));
    });
}

// The profile's "Sound" section: loudness, crossfades, silence at the edges, dead air.
void configureSound(Profile& profile, GstMediaPlayer& media)
{
    std::vector<std::string> problems;
    media.setSound(readSoundSettings(profile, problems));
    for (const std::string& line : problems)
        errorLine(line);
}

} // namespace

ProgramServices::ProgramServices(ServiceChoices choices)
    : m_media(std::make_unique<GstMediaPlayer>()), m_windows(std::move(choices.windows)),
      m_process(std::move(choices.arguments), &choices.server)
{
    Dialogs& dialogs = choices.dialogs;
    m_media->setNoticeHandler([&dialogs](const std::string& text) {
        dialogs.messageBox(ProgramTitle, text, MsgIcon::Exclamation, MsgButtons::Ok);
    });
    if (choices.playState)
        m_media->setPlayStateHandler(std::move(choices.playState));
    configureBroadcast(choices.profile, *m_media, choices.profilePath);
    configureSound(choices.profile, *m_media);
    m_media->setLineHandler(errorLine);
    m_media->setStatusHandler(std::move(choices.status));

    // Every service, in the record's order. A service added to the record changes its size
    // and stops the build here until it is made above and given below.
    static_assert(sizeof(Services) == 11 * sizeof(void*), "a service of Services is not made here");
    services() = Services{m_media.get(), &choices.profile, &choices.options, &m_classes,
                          &m_tray,       &dialogs,         &m_process,       &m_clock,
                          &m_random,     m_windows.get(),  &m_browser};
    if (!services().complete()) {
        std::fprintf(stderr, "quavix: a service is missing\n");
        std::abort();
    }
    m_process.setBeforeEnd([this, media = choices.closeMediaAtEnd] {
        if (media) {
            services().media = nullptr;
            m_media.reset();
        }
        services().windows = nullptr;
        m_windows.reset();
    });
}

} // namespace quavix
