// Tags through TagLib; the only file of the program that includes TagLib's headers.
#include "engine/Tags.h"

#include "engine/TagText.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

using TagLib::ByteVector;
using TagLib::PropertyMap;
using TagLib::String;

// Bounds on what one source may put into an output, so that a hostile tag cannot make every
// output huge: generous for real tags, lyrics included.
constexpr std::size_t kMaxValueBytes = 1024 * 1024;
constexpr std::size_t kMaxTextBytes = 8 * 1024 * 1024;
constexpr std::size_t kMaxProperties = 1000;
constexpr std::size_t kMaxValues = 100;
constexpr unsigned kPaddingBytes = 1024;

String FromUtf8(const std::string& pText) {
    return String(pText, String::UTF8);
}

// A tag that declares UTF-8 or UTF-16 may still hold broken text, and TagLib passes it on.
std::string ToUtf8(const String& pText) {
    return TagText::WellFormed(pText.to8Bit(true));
}

std::string_view UpToNul(const ByteVector& pData) {
    const std::string_view bytes(pData.data(), pData.size());
    return bytes.substr(0, bytes.find('\0'));
}

// The fields that carry no character set of their own all go through the one detector.
class Id3v2Latin1 final : public TagLib::ID3v2::Latin1StringHandler {
public:
    String parse(const ByteVector& pData) const override { return FromUtf8(TagText::Decode(UpToNul(pData))); }
};

class Id3v1Text final : public TagLib::ID3v1::StringHandler {
public:
    String parse(const ByteVector& pData) const override {
        return FromUtf8(TagText::Decode(UpToNul(pData))).stripWhiteSpace();
    }
};

class InfoText final : public TagLib::RIFF::Info::StringHandler {
public:
    String parse(const ByteVector& pData) const override { return FromUtf8(TagText::Decode(UpToNul(pData))); }
};

// TagLib keeps one handler of each kind for the process; they hold no state, so one setting before
// the first read serves every thread.
void InstallTextHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const Id3v2Latin1 id3v2;
        static const Id3v1Text id3v1;
        static const InfoText info;
        TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
        TagLib::ID3v1::Tag::setStringHandler(&id3v1);
        TagLib::RIFF::Info::Tag::setStringHandler(&info);
    });
}

struct PictureFound {
    bool Front = false;
    std::string MimeType;
    std::string Description;
    ByteVector Data;
};

// The record as it is collected: the first tag of a file to hold a property gives its values.
class Collector {
public:
    void Add(const PropertyMap& pProperties) {
        for (auto it = pProperties.begin(); it != pProperties.end(); ++it) {
            const std::string key = ToUtf8(it->first.upper());
            if (key.empty()) {
                Note("a field without a name left out");
                continue;
            }
            if (c_Properties.contains(key)) continue;
            std::vector<std::string> values;
            for (const String& value : it->second)
                // Judged after conversion: a frame with an unknown text encoding gives TagLib strings
                // that convert to nothing.
                if (std::string text = ToUtf8(value); !text.empty()) values.push_back(std::move(text));
            // An empty field leaves the property to the file's next tag.
            if (!values.empty()) c_Properties.emplace(key, std::move(values));
        }
    }
    // A tag that is there but gives nothing was cut short or damaged: worth a line in the log.
    template <class T> void AddTag(T* pTag, const char* pName, bool pHasPicture = false) {
        if (pTag == nullptr) return;
        const PropertyMap properties = pTag->properties();
        if (properties.isEmpty() && !pHasPicture)
            Note(std::string("the ") + pName + " tag holds nothing readable");
        Add(properties);
    }
    void Picture(PictureFound pPicture) { c_Pictures.push_back(std::move(pPicture)); }
    void Note(std::string pText) { c_Notes.push_back(std::move(pText)); }

    Tags::TagRecord Finish();

private:
    void AddProperty(Tags::TagRecord& pRecord, const std::string& pKey, std::vector<std::string> pValues,
                     std::size_t& pTextBytes);
    [[nodiscard]] std::string Total(const char* pFirst, const char* pSecond) const;

    std::map<std::string, std::vector<std::string>> c_Properties;
    std::vector<PictureFound> c_Pictures;
    std::vector<std::string> c_Notes;
};

// Properties that describe how the source itself was encoded (the tool, its settings): wrong for
// the output, and iTunes would even cut the output's gapless playback at the source's encoder delay.
bool DescribesSourceEncoding(const std::string& pKey) {
    static constexpr std::array<std::string_view, 6> kKeys{"ENCODING",  "ENCODER",  "ENCODERSETTINGS",
                                                           "ENCODEDBY", "ITUNSMPB", "COMMENT:ITUNSMPB"};
    return std::find(kKeys.begin(), kKeys.end(), pKey) != kKeys.end();
}

bool IsTotal(const std::string& pKey) {
    return pKey == "TRACKTOTAL" || pKey == "TOTALTRACKS" || pKey == "DISCTOTAL" || pKey == "TOTALDISCS";
}

std::string Collector::Total(const char* pFirst, const char* pSecond) const {
    for (const char* key : {pFirst, pSecond}) {
        const auto it = c_Properties.find(key);
        if (it != c_Properties.end() && !it->second.empty()) return it->second.front();
    }
    return {};
}

void Collector::AddProperty(Tags::TagRecord& pRecord, const std::string& pKey,
                            std::vector<std::string> pValues, std::size_t& pTextBytes) {
    std::vector<std::string> kept;
    for (std::string& value : pValues) {
        if (kept.size() == kMaxValues) {
            Note(pKey + ": values past the first " + std::to_string(kMaxValues) + " left out");
            break;
        }
        if (value.size() > kMaxValueBytes || pTextBytes + value.size() > kMaxTextBytes) {
            Note(pKey + ": a value of " + std::to_string(value.size()) + " bytes left out");
            continue;
        }
        pTextBytes += value.size();
        kept.push_back(std::move(value));
    }
    if (kept.empty()) return;
    if (pRecord.Properties.size() == kMaxProperties) {
        Note(pKey + ": properties past the first " + std::to_string(kMaxProperties) + " left out");
        return;
    }
    pRecord.Properties.push_back({pKey, std::move(kept)});
}

std::string SniffImage(const ByteVector& pData) {
    const std::string_view bytes(pData.data(), std::min<std::size_t>(pData.size(), 12));
    if (bytes.starts_with("\xFF\xD8\xFF")) return "image/jpeg";
    if (bytes.starts_with("\x89PNG")) return "image/png";
    if (bytes.starts_with("GIF8")) return "image/gif";
    if (bytes.starts_with("BM")) return "image/bmp";
    if (bytes.starts_with("RIFF") && bytes.substr(8) == "WEBP") return "image/webp";
    return {};
}

Tags::TagRecord Collector::Finish() {
    Tags::TagRecord record;
    std::size_t textBytes = 0;
    // Sources that count tracks and discs in a field of their own get the "3/12" of ID3.
    const std::string tracks = Total("TRACKTOTAL", "TOTALTRACKS");
    const std::string discs = Total("DISCTOTAL", "TOTALDISCS");
    for (auto& [key, values] : c_Properties) {
        if (IsTotal(key) || DescribesSourceEncoding(key)) continue;
        const std::string& total = key == "TRACKNUMBER"  ? tracks
                                   : key == "DISCNUMBER" ? discs
                                                         : std::string();
        if (!total.empty() && values.size() == 1 && values.front().find('/') == std::string::npos)
            values.front() += "/" + total;
        AddProperty(record, key, std::move(values), textBytes);
    }
    if (!tracks.empty() && record.Find("TRACKNUMBER") == nullptr)
        AddProperty(record, "TRACKTOTAL", {tracks}, textBytes);
    if (!discs.empty() && record.Find("DISCNUMBER") == nullptr)
        AddProperty(record, "DISCTOTAL", {discs}, textBytes);

    const auto front = std::find_if(c_Pictures.begin(), c_Pictures.end(),
                                    [](const PictureFound& p) { return p.Front && !p.Data.isEmpty(); });
    const auto any = std::find_if(c_Pictures.begin(), c_Pictures.end(),
                                  [](const PictureFound& p) { return !p.Data.isEmpty(); });
    const auto chosen = front != c_Pictures.end() ? front : any;
    if (chosen != c_Pictures.end()) {
        if (chosen->Data.size() > Tags::kMaxPictureBytes) {
            Note("a cover of " + std::to_string(chosen->Data.size()) + " bytes left out (over 16 MiB)");
        } else {
            std::string mime = SniffImage(chosen->Data);
            if (mime.empty()) mime = chosen->MimeType.empty() ? "image/" : chosen->MimeType;
            record.Cover = Tags::TagPicture{mime, chosen->Description,
                                            std::string(chosen->Data.data(), chosen->Data.size())};
        }
    }
    record.Notes = std::move(c_Notes);
    return record;
}

void ReadId3v2(Collector& pCollector, TagLib::ID3v2::Tag* pTag) {
    if (pTag == nullptr) return;
    const TagLib::ID3v2::FrameList pictures = pTag->frameList("APIC");
    pCollector.AddTag(pTag, "ID3v2", !pictures.isEmpty());
    for (TagLib::ID3v2::Frame* frame : pictures) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture == nullptr) continue;
        pCollector.Picture({picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover,
                            ToUtf8(picture->mimeType()), ToUtf8(picture->description()), picture->picture()});
    }
}

void AddFlacPictures(Collector& pCollector, const TagLib::List<TagLib::FLAC::Picture*>& pPictures) {
    for (const TagLib::FLAC::Picture* picture : pPictures)
        pCollector.Picture({picture->type() == TagLib::FLAC::Picture::FrontCover, ToUtf8(picture->mimeType()),
                            ToUtf8(picture->description()), picture->data()});
}

void ReadXiph(Collector& pCollector, TagLib::Ogg::XiphComment* pComment) {
    if (pComment == nullptr) return;
    const TagLib::List<TagLib::FLAC::Picture*> pictures = pComment->pictureList();
    // Vorbis comments name the comment DESCRIPTION about as often as COMMENT.
    PropertyMap properties = pComment->properties();
    if (!properties.contains("COMMENT") && properties.contains("DESCRIPTION")) {
        properties.insert("COMMENT", properties["DESCRIPTION"]);
        properties.erase("DESCRIPTION");
    }
    if (properties.isEmpty() && pictures.isEmpty())
        pCollector.Note("the Vorbis comment holds nothing readable");
    pCollector.Add(properties);
    AddFlacPictures(pCollector, pictures);
}

// APE keeps its cover as a binary item: a file name, a NUL, the image.
void ReadApe(Collector& pCollector, TagLib::APE::Tag* pTag) {
    if (pTag == nullptr) return;
    const auto& items = pTag->itemListMap();
    pCollector.AddTag(pTag, "APE", items.contains("COVER ART (FRONT)"));
    const auto it = items.find("COVER ART (FRONT)");
    if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary) return;
    const ByteVector data = it->second.binaryData();
    const int nul = data.find('\0');
    if (nul >= 0) pCollector.Picture({true, {}, {}, data.mid(unsigned(nul) + 1)});
}

// Windows Explorer's names for the INFO fields that have one.
PropertyMap InfoProperties(const TagLib::RIFF::Info::Tag& pTag) {
    static const std::map<std::string, std::string> kNames{
        {"INAM", "TITLE"},     {"IART", "ARTIST"},    {"IPRD", "ALBUM"},       {"ICMT", "COMMENT"},
        {"IGNR", "GENRE"},     {"ICRD", "DATE"},      {"IPRT", "TRACKNUMBER"}, {"ITRK", "TRACKNUMBER"},
        {"ICOP", "COPYRIGHT"}, {"IMUS", "COMPOSER"},  {"IWRI", "LYRICIST"},    {"ILNG", "LANGUAGE"},
        {"ISFT", "ENCODING"},  {"ITCH", "ENCODEDBY"}, {"IENG", "ENGINEER"},    {"IPRO", "PRODUCER"}};
    PropertyMap map;
    const TagLib::RIFF::Info::FieldListMap fields = pTag.fieldListMap();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const std::string id(it->first.data(), it->first.size());
        const auto name = kNames.find(id);
        const String key = FromUtf8(name != kNames.end() ? name->second : id);
        if (!map.contains(key)) map.insert(key, TagLib::StringList(it->second));
    }
    return map;
}

void ReadFile(Collector& pCollector, TagLib::File& pFile) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&pFile)) {
        if (mpeg->hasID3v2Tag()) ReadId3v2(pCollector, mpeg->ID3v2Tag());
        if (mpeg->hasAPETag()) ReadApe(pCollector, mpeg->APETag());
        if (mpeg->hasID3v1Tag()) pCollector.AddTag(mpeg->ID3v1Tag(), "ID3v1");
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&pFile)) {
        if (flac->hasXiphComment()) ReadXiph(pCollector, flac->xiphComment());
        AddFlacPictures(pCollector, flac->pictureList());
        if (flac->hasID3v2Tag()) ReadId3v2(pCollector, flac->ID3v2Tag());
        if (flac->hasID3v1Tag()) pCollector.AddTag(flac->ID3v1Tag(), "ID3v1");
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&pFile)) {
        if (wav->hasID3v2Tag()) ReadId3v2(pCollector, wav->ID3v2Tag());
        if (wav->hasInfoTag()) {
            const PropertyMap info = InfoProperties(*wav->InfoTag());
            if (info.isEmpty()) pCollector.Note("the LIST-INFO tag holds nothing readable");
            pCollector.Add(info);
        }
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&pFile)) {
        if (aiff->hasID3v2Tag()) ReadId3v2(pCollector, aiff->tag());
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&pFile)) {
        const TagLib::MP4::Tag* tag = mp4->tag();
        if (tag == nullptr) return;
        pCollector.Add(tag->properties());
        if (!tag->contains("covr")) return;
        for (const TagLib::MP4::CoverArt& cover : tag->item("covr").toCoverArtList())
            pCollector.Picture({true, {}, {}, cover.data()});
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(&pFile)) {
        const TagLib::ASF::Tag* tag = asf->tag();
        if (tag == nullptr) return;
        pCollector.Add(tag->properties());
        for (const TagLib::ASF::Attribute& attribute : tag->attribute("WM/Picture")) {
            const TagLib::ASF::Picture picture = attribute.toPicture();
            if (picture.isValid())
                pCollector.Picture({picture.type() == TagLib::ASF::Picture::FrontCover,
                                    ToUtf8(picture.mimeType()), ToUtf8(picture.description()),
                                    picture.picture()});
        }
    } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(pFile.tag())) {
        ReadXiph(pCollector, xiph);
    } else {
        pCollector.Add(pFile.properties());
    }
}

// Kinds whose files normally hold tags: only for these is a file TagLib cannot open worth a note.
bool CarriesTags(const std::string& pPath) {
    static constexpr std::array<std::string_view, 14> kKinds{
        "mp1", "mp2", "mp3", "m4a", "mp4", "ogg", "oga", "opus", "flac", "wma", "asf", "wav", "aif", "aiff"};
    const std::string extension = Support::Extension(pPath);
    return std::find(kKinds.begin(), kKinds.end(), extension) != kKinds.end();
}

// ---- writing ----

// The ID3v2.3 text frames (with iTunes' sort and compilation frames, which v2.3 readers know) by
// property name.
const std::map<std::string, std::string>& TextFrames() {
    static const std::map<std::string, std::string> kFrames{
        {"TITLE", "TIT2"},
        {"SUBTITLE", "TIT3"},
        {"CONTENTGROUP", "TIT1"},
        {"GROUPING", "TIT1"},
        {"ARTIST", "TPE1"},
        {"ALBUMARTIST", "TPE2"},
        {"CONDUCTOR", "TPE3"},
        {"REMIXER", "TPE4"},
        {"ALBUM", "TALB"},
        {"TRACKNUMBER", "TRCK"},
        {"DISCNUMBER", "TPOS"},
        {"GENRE", "TCON"},
        {"COMPOSER", "TCOM"},
        {"LYRICIST", "TEXT"},
        {"BPM", "TBPM"},
        {"COPYRIGHT", "TCOP"},
        {"INITIALKEY", "TKEY"},
        {"LANGUAGE", "TLAN"},
        {"MEDIA", "TMED"},
        {"ORIGINALALBUM", "TOAL"},
        {"ORIGINALFILENAME", "TOFN"},
        {"ORIGINALLYRICIST", "TOLY"},
        {"ORIGINALARTIST", "TOPE"},
        {"OWNER", "TOWN"},
        {"LABEL", "TPUB"},
        {"RADIOSTATION", "TRSN"},
        {"RADIOSTATIONOWNER", "TRSO"},
        {"ISRC", "TSRC"},
        {"PLAYLISTDELAY", "TDLY"},
        {"COMPILATION", "TCMP"},
        {"TITLESORT", "TSOT"},
        {"ARTISTSORT", "TSOP"},
        {"ALBUMSORT", "TSOA"},
        {"ALBUMARTISTSORT", "TSO2"},
        {"COMPOSERSORT", "TSOC"},
    };
    return kFrames;
}

// The descriptions MusicBrainz Picard gives its TXXX frames, which TagLib reads as these names.
const std::map<std::string, std::string>& TxxxDescriptions() {
    static const std::map<std::string, std::string> kDescriptions{
        {"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id"},
        {"MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id"},
        {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id"},
        {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz Release Group Id"},
        {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id"},
        {"MUSICBRAINZ_WORKID", "MusicBrainz Work Id"},
        {"RELEASECOUNTRY", "MusicBrainz Album Release Country"},
        {"RELEASESTATUS", "MusicBrainz Album Status"},
        {"RELEASETYPE", "MusicBrainz Album Type"},
        {"ACOUSTID_ID", "Acoustid Id"},
        {"ACOUSTID_FINGERPRINT", "Acoustid Fingerprint"},
        {"MUSICIP_PUID", "MusicIP PUID"},
    };
    return kDescriptions;
}

// ID3v2.3 has one value per frame; the names in its people frames are listed with "/", which v2.3
// readers split, and the other frames list theirs the same way.
std::string Joined(const std::vector<std::string>& pValues, const char* pSeparator = "/") {
    std::string text;
    for (const std::string& value : pValues)
        text += (text.empty() ? "" : pSeparator) + value;
    return text;
}

using Frames = std::vector<std::unique_ptr<TagLib::ID3v2::Frame>>;

// A frame that renders as ID3v2.3 (plain sizes); TagLib's new frames are v2.4.
template <class F> class V23 final : public F {
public:
    template <class... A>
    explicit V23(A&&... pArguments)
        : F(std::forward<A>(pArguments)...) {
        this->header()->setVersion(3);
    }
};

void AddText(Frames& pFrames, const char* pFrameId, const std::string& pText) {
    auto frame =
        std::make_unique<V23<TagLib::ID3v2::TextIdentificationFrame>>(ByteVector(pFrameId, 4), String::UTF16);
    frame->setText(FromUtf8(pText));
    pFrames.push_back(std::move(frame));
}

void AddUserText(Frames& pFrames, const std::string& pKey, const std::string& pText) {
    const auto known = TxxxDescriptions().find(pKey);
    auto frame = std::make_unique<V23<TagLib::ID3v2::UserTextIdentificationFrame>>(String::UTF16);
    frame->setDescription(FromUtf8(known != TxxxDescriptions().end() ? known->second : pKey));
    frame->setText(FromUtf8(pText));
    pFrames.push_back(std::move(frame));
}

bool Digits(std::string_view pText, std::size_t pAt, std::size_t pCount) {
    if (pText.size() < pAt + pCount) return false;
    return std::all_of(pText.begin() + std::ptrdiff_t(pAt), pText.begin() + std::ptrdiff_t(pAt + pCount),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// "2019-05-04T10:20" becomes the year, the day and month, and the time of ID3v2.3; a date that does
// not begin with a year keeps its text in a TXXX frame.
void AddDate(Frames& pFrames, const std::string& pKey, const std::string& pDate) {
    if (!Digits(pDate, 0, 4)) {
        AddUserText(pFrames, pKey, pDate);
        return;
    }
    const bool original = pKey == "ORIGINALDATE";
    AddText(pFrames, original ? "TORY" : "TYER", pDate.substr(0, 4));
    if (original) return;
    if (pDate.size() >= 10 && pDate[4] == '-' && Digits(pDate, 5, 2) && pDate[7] == '-' &&
        Digits(pDate, 8, 2))
        AddText(pFrames, "TDAT", pDate.substr(8, 2) + pDate.substr(5, 2));
    if (pDate.size() >= 16 && pDate[10] == 'T' && Digits(pDate, 11, 2) && pDate[13] == ':' &&
        Digits(pDate, 14, 2))
        AddText(pFrames, "TIME", pDate.substr(11, 2) + pDate.substr(14, 2));
}

// A comment or lyrics frame when the property is pName or "pName:description"; false for any other.
template <class F>
bool AddDescribed(Frames& pFrames, std::string_view pName, const Tags::TagProperty& pProperty) {
    const std::string& key = pProperty.Key;
    if (!key.starts_with(pName) || (key.size() > pName.size() && key[pName.size()] != ':')) return false;
    auto frame = std::make_unique<V23<F>>(String::UTF16);
    // iTunes shows only comments in a language it knows.
    frame->setLanguage("eng");
    frame->setDescription(key.size() == pName.size() ? String() : FromUtf8(key.substr(pName.size() + 1)));
    frame->setText(FromUtf8(Joined(pProperty.Values, "\n")));
    pFrames.push_back(std::move(frame));
    return true;
}

void AddProperty(Frames& pFrames, const Tags::TagProperty& pProperty) {
    const std::string& key = pProperty.Key;
    if (AddDescribed<TagLib::ID3v2::CommentsFrame>(pFrames, "COMMENT", pProperty) ||
        AddDescribed<TagLib::ID3v2::UnsynchronizedLyricsFrame>(pFrames, "LYRICS", pProperty))
        return;
    if (key == "DATE" || key == "ORIGINALDATE") {
        AddDate(pFrames, key, pProperty.Values.front());
    } else if (const auto frame = TextFrames().find(key); frame != TextFrames().end()) {
        AddText(pFrames, frame->second.c_str(), Joined(pProperty.Values));
    } else {
        AddUserText(pFrames, key, Joined(pProperty.Values));
    }
}

} // namespace

namespace Tags {

const std::vector<std::string>* TagRecord::Find(const std::string& pKey) const {
    for (const TagProperty& property : Properties)
        if (property.Key == pKey) return &property.Values;
    return nullptr;
}

TagRecord ReadTags(const std::string& pPath) {
    InstallTextHandlers();
    try {
        Collector collector;
        const TagLib::FileRef ref(pPath.c_str(), false);
        if (ref.isNull() || !ref.file()->isValid()) {
            TagRecord record;
            if (CarriesTags(pPath)) record.Notes.push_back("the file's tags cannot be read");
            return record;
        }
        ReadFile(collector, *ref.file());
        return collector.Finish();
    } catch (const std::exception& e) {
        TagRecord record;
        record.Notes.push_back(std::string("the file's tags cannot be read: ") + e.what());
        return record;
    }
}

// The frames are rendered one by one: TagLib's conversion of a whole tag to v2.3 would rewrite
// some of them in Latin-1.
std::string RenderId3v2(const TagRecord& pRecord) {
    if (pRecord.Empty()) return {};
    Frames frames;
    for (const TagProperty& property : pRecord.Properties)
        if (!property.Values.empty()) AddProperty(frames, property);
    if (pRecord.Cover) {
        auto frame = std::make_unique<V23<TagLib::ID3v2::AttachedPictureFrame>>();
        frame->setTextEncoding(String::UTF16);
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setMimeType(String(pRecord.Cover->MimeType, String::Latin1));
        frame->setDescription(FromUtf8(pRecord.Cover->Description));
        frame->setPicture(ByteVector(pRecord.Cover->Data.data(), unsigned(pRecord.Cover->Data.size())));
        frames.push_back(std::move(frame));
    }
    ByteVector body;
    for (const auto& frame : frames)
        body.append(frame->render());
    // Room for a tag editor to grow the tag in place later.
    body.resize(body.size() + kPaddingBytes, '\0');
    ByteVector tag("ID3\x03\x00\x00", 6);
    tag.append(TagLib::ID3v2::SynchData::fromUInt(body.size()));
    tag.append(body);
    return std::string(tag.data(), tag.size());
}

bool WriteMp3(const std::string& pMp3, const std::string& pTarget, const TagRecord& pRecord) {
    const std::string tag = RenderId3v2(pRecord);
    const Support::FileHandle in = Support::OpenForRead(pMp3);
    if (!in) return false;
    Support::FileHandle out = Support::OpenFile(pTarget, O_WRONLY | O_CREAT | O_TRUNC);
    if (!out || !Support::WriteAll(out.Fd(), tag.data(), tag.size())) return false;
    std::vector<char> buffer(1024 * 1024);
    for (std::int64_t offset = 0;;) {
        const std::int64_t got = Support::ReadAt(in, buffer.data(), buffer.size(), offset);
        if (got < 0) return false;
        if (got == 0) break;
        if (!Support::WriteAll(out.Fd(), buffer.data(), std::size_t(got))) return false;
        offset += got;
    }
    return out.Close();
}

} // namespace Tags
