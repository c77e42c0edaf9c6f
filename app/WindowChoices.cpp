#include "app/WindowChoices.h"

#include "engine/C_mp3acm.h"
#include "support/ListComboBox.h"
#include "engine/WaveMMIO.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/Settings.h"

#include <QString>

#include <algorithm>
#include <sched.h>
#include <unistd.h>

namespace {

bool SameWord(const std::string& pA, const std::string& pB) {
    return QString::fromStdString(pA).trimmed().compare(QString::fromStdString(pB), Qt::CaseInsensitive) == 0;
}

// The entry whose text equals the stored text exactly, as the window selects it; else empty.
std::string SelectText(const std::vector<std::string>& pEntries, const std::string& pText) {
    for (const std::string& entry : pEntries)
        if (entry == pText) return entry;
    return {};
}

} // namespace

const std::vector<std::string>& Mp2BitRateTexts() {
    static const std::vector<std::string> rates{"32",  "48",  "56",  "64",  "80",  "96",  "112",
                                                "128", "160", "192", "224", "256", "320", "384"};
    return rates;
}

const std::vector<std::string>& Mp2ModeTexts() {
    static const std::vector<std::string> modes{"Stereo", "JointStereo", "Mono", "DualMono"};
    return modes;
}

WindowChoices LoadSavedChoices(bool pMp2Available) {
    using Support::ReadSetting;
    WindowChoices c;
    ListComboBox freq;
    WaveMMIO::LoadFreqToCombo(freq, Support::IntegerOrZero(ReadSetting("TargetFreq", std::int32_t(44100))), 0,
                              0);
    c.Freq = freq.Text();
    ListComboBox mode;
    WaveMMIO::LoadModeToCombo(mode, Support::IntegerOrZero(ReadSetting("TargetMode", std::int32_t(3))),
                              WaveMode::kLastTarget);
    c.Mode = mode.ListIndex();
    c.DecodeOnly = Support::IntegerOrZero(ReadSetting("DecodeOnly", std::int32_t(0)));
    c.UseDither = Support::IntegerOrZero(ReadSetting("UseDither", std::int32_t(1)));
    c.HighQuality = Support::IntegerOrZero(ReadSetting("HighQuality", std::int32_t(0)));
    c.Encmp3 = Support::IntegerOrZero(ReadSetting("Encmp3", std::int32_t(0)));
    c.Mp3BitRate = Support::IntegerOrZero(ReadSetting("mp3BitRate", std::int32_t(128)));
    c.Mp2BitRate = SelectText(Mp2BitRateTexts(), ReadSetting("mp2bitRate", std::int32_t(0)));
    if (pMp2Available) c.Encmp2 = Support::IntegerOrZero(ReadSetting("Encmp2", std::int32_t(0)));
    c.Mp2Mode = SelectText(Mp2ModeTexts(), ReadSetting("mp2Mode", std::int32_t(0)));
    c.SoundPath = ReadSetting("SoundPath", std::string());
    c.CopyTags = Support::IntegerOrZero(ReadSetting("CopyTags", std::int32_t(1)));
    c.Jobs = std::max(0, Support::IntegerOrZero(ReadSetting("Jobs", std::int32_t(0))));
    return c;
}

int ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int(online) : 1;
}

int RowsAtOnce(int pJobs) {
    return pJobs > 0 ? pJobs : ProcessorCount();
}

void SaveChoices(const BatchOptions& pShown) {
    using Support::WriteSetting;
    Support::Trapped(0, [&] {
        WriteSetting("SoundPath", pShown.SoundPathText);
        // A stored rate the list does not offer shows no selection; it stays the user's.
        if (const auto rate = IntegerText(pShown.TargetFreqText)) WriteSetting("TargetFreq", *rate);
        WriteSetting("TargetMode", std::int32_t(pShown.TargetModeIndex));
        WriteSetting("UseDither", std::int32_t(pShown.UseDither));
        WriteSetting("DecodeOnly", std::int32_t(pShown.DecodeOnly));
        WriteSetting("Encmp3", std::int32_t(pShown.Encmp3));
        if (const auto rate = IntegerText(pShown.Mp3BitRateText)) WriteSetting("mp3BitRate", *rate);
        WriteSetting("Encmp2", std::int32_t(pShown.Encmp2));
        if (const auto rate = IntegerText(pShown.Mp2BitRateText)) WriteSetting("mp2BitRate", *rate);
        WriteSetting("mp2Mode", pShown.Mp2ModeText);
        // A choice of Tolvane's own, after the window's keys.
        WriteSetting("CopyTags", std::int32_t(pShown.CopyTags));
        WriteSetting("HighQuality", std::int32_t(pShown.HighQuality));
        return 0;
    });
}

BatchOptions ChoicesToOptions(const WindowChoices& pChoices, C_mp3acm& pEncoder, bool pMp2Available) {
    BatchOptions o;
    const bool enabled = pChoices.DecodeOnly == 0;
    o.TargetFreqText = pChoices.Freq;
    o.TargetModeIndex = pChoices.Mode;
    o.DecodeOnly = pChoices.DecodeOnly;
    o.UseDither = pChoices.UseDither;
    o.HighQuality = pChoices.HighQuality;
    o.Encmp3 = pChoices.Encmp3;
    if (enabled && (pChoices.Mode == 2 || pChoices.Mode == 3)) {
        ListComboBox rates;
        pEncoder.LoadBitRateToCombo(rates, Support::IntegerOrZero(pChoices.Freq), pChoices.Mode,
                                    pChoices.Mp3BitRate);
        o.Mp3BitRateText = rates.Text();
        o.Encmp3Enabled = rates.ListCount() > 0;
    }
    o.Encmp2 = pChoices.Encmp2;
    o.Encmp2Enabled = enabled && pMp2Available;
    o.Mp2BitRateText = pChoices.Mp2BitRate;
    o.Mp2ModeText = pChoices.Mp2Mode;
    o.SoundPathText = pChoices.SoundPath;
    o.CopyTags = pChoices.CopyTags;
    return o;
}

int ParseTargetMode(const std::string& pText) {
    if (const auto number = IntegerText(pText))
        return *number >= 0 && *number <= WaveMode::kLastTarget ? int(*number) : -1;
    for (int m = 0; m <= WaveMode::kLastTarget; ++m)
        if (SameWord(pText, WaveMMIO::WaveModeName(m))) return m;
    return -1;
}

std::string ParseMp2Mode(const std::string& pText) {
    for (const std::string& mode : Mp2ModeTexts())
        if (SameWord(pText, mode)) return mode;
    return {};
}
