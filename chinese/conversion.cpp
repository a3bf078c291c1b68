#include "chinese/conversion.h"

#include <opencc/Config.hpp>
#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/DartsDict.hpp>
#include <opencc/DictEntry.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MaxMatchSegmentation.hpp>
#include <opencc/TextDict.hpp>

#include <algorithm>
#include <array>
#include <exception>
#include <list>
#include <map>
#include <thread>

#include "base/textconverter.h"
#include "base/utf8.h"

namespace tirelle::chinese {

namespace {

constexpr std::array<Conversion, 10> kConversions{{
    {"s2t", "简体 → 繁体", Script::Traditional},
    {"t2s", "繁体 → 简体", Script::Simplified},
    {"s2tw", "简体 → 繁体（台湾字形）", Script::Traditional},
    {"tw2s", "繁体（台湾字形）→ 简体", Script::Simplified},
    {"s2twp", "简体 → 繁体（台湾用语）", Script::Traditional},
    {"tw2sp", "繁体（台湾用语）→ 简体（大陆用语）", Script::Simplified},
    {"s2hk", "简体 → 繁体（香港字形）", Script::Traditional},
    {"hk2s", "繁体（香港字形）→ 简体", Script::Simplified},
    {"t2tw", "繁体 → 繁体（台湾字形）", Script::Traditional},
    {"t2hk", "繁体 → 繁体（香港字形）", Script::Traditional},
}};

// From this many bytes of text on, building the faster dictionaries and starting threads pays:
// a 1,500-line episode stays below it, a long series of them goes above.
constexpr std::size_t kManyBytes = std::size_t{256} << 10;

// The same entries in OpenCC's double-array dictionary, a group entry by entry. The lexicon
// of a shipped dictionary is in the trie's order, and the double array needs it sorted.
opencc::DictPtr DoubleArrayOf(const opencc::DictPtr& dict) {
    if (const auto group = std::dynamic_pointer_cast<opencc::DictGroup>(dict)) {
        std::list<opencc::DictPtr> members;
        for (const opencc::DictPtr& member : group->GetDicts())
            members.push_back(DoubleArrayOf(member));
        return std::make_shared<opencc::DictGroup>(members);
    }
    auto sorted = std::make_shared<opencc::Lexicon>();
    for (const auto& entry : *dict->GetLexicon())
        sorted->Add(opencc::DictEntryFactory::New(entry.get()));
    sorted->Sort();
    return opencc::DartsDict::NewFromDict(opencc::TextDict(sorted));
}

// One thread's conversion of code page texts, with its own decoder and encoder.
class TextPass {
public:
    TextPass(const Converter& converter, const CodePage& codePage)
        : converter_(converter),
          codePage_(codePage),
          decode_("UTF-8", codePage.converterName()),
          encode_(codePage.converterName(), "UTF-8") {}

    std::optional<ConvertedText> convert(std::string_view text) {
        // OpenCC has no entry without a Chinese character, so pure ASCII never changes.
        if (std::none_of(text.begin(), text.end(),
                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            return std::nullopt;
        ConvertedText out;
        changed_ = false;
        out.bytes.reserve(text.size() + 8);
        if (codePage_.kind() == CodePage::Kind::Utf8)
            convertUtf8(text, out);
        else
            convertCodePage(text, out);
        if (!changed_) return std::nullopt;
        return out;
    }

private:
    // Runs of valid UTF-8 are converted; a stray sequence between them stays as it is.
    void convertUtf8(std::string_view text, ConvertedText& out) {
        while (!text.empty()) {
            const std::size_t valid = ValidUtf8Prefix(text);
            if (valid > 0) {
                const std::string_view run = text.substr(0, valid);
                converted_ = converter_.convertUtf8(run);
                changed_ = changed_ || converted_ != run;
                out.bytes += converted_;
                text.remove_prefix(valid);
            }
            if (text.empty()) break;
            const std::size_t stray = FirstUtf8Sequence(text).length;
            out.bytes.append(text.substr(0, stray));
            text.remove_prefix(stray);
        }
    }

    // The text decoded run by run up to each byte the code page cannot read, which stays as it
    // is; a run the conversion leaves alone keeps its own bytes.
    void convertCodePage(std::string_view text, ConvertedText& out) {
        constexpr TextConverter::Strays kStopAtFirst{{}, 1, 1};
        while (!text.empty()) {
            const auto decoded = decode_.convert(text, &utf8_, kStopAtFirst);
            const std::size_t run = std::min(decoded.stoppedAt, text.size());
            if (run > 0) {
                converted_ = converter_.convertUtf8(utf8_);
                if (converted_ == utf8_) {
                    out.bytes.append(text.substr(0, run));
                } else {
                    changed_ = true;
                    out.replaced += encode_.convert(converted_, &encoded_, {"?"}).strays;
                    out.bytes += encoded_;
                }
                text.remove_prefix(run);
            }
            if (text.empty()) break;
            out.bytes.push_back(text.front());
            text.remove_prefix(1);
        }
    }

    const Converter& converter_;
    CodePage codePage_;
    TextConverter decode_;
    TextConverter encode_;
    std::string utf8_, converted_, encoded_;
    bool changed_ = false;
};

}  // namespace

std::span<const Conversion> Conversions() {
    return kConversions;
}

std::optional<Conversion> FindConversion(std::string_view name) {
    for (const Conversion& conversion : kConversions) {
        if (conversion.name == name) return conversion;
    }
    return std::nullopt;
}

UnknownConversion::UnknownConversion(std::string_view name)
    : Error([name] {
          std::string message = "unknown conversion '" + std::string(name) + "' (known:";
          for (const Conversion& conversion : kConversions)
              message += " " + std::string(conversion.name) + ",";
          message.back() = ')';
          return message;
      }()) {}

std::filesystem::path OpenCcDataFolder() {
    return TIRELLE_OPENCC_DATA;
}

Converter::Converter(std::string_view name, const std::filesystem::path& dataFolder) {
    const auto conversion = FindConversion(name);
    if (!conversion) throw UnknownConversion(name);
    conversion_ = *conversion;
    const std::filesystem::path configuration = dataFolder / (std::string(name) + ".json");
    try {
        opencc::Config config;
        engine_ = config.NewFromFile(configuration.string());
    } catch (const opencc::Exception& failure) {
        throw ConversionDataError("Cannot read the data of the conversion '" + std::string(name) +
                                  "': " + failure.what());
    }
}

Converter::~Converter() = default;

std::string Converter::convertUtf8(std::string_view utf8) const {
    try {
        return engine_->Convert(std::string(utf8));
    } catch (const opencc::Exception& failure) {
        throw Error(std::string("OpenCC: ") + failure.what());
    }
}

void Converter::prepareForManyTexts() {
    if (prepared_) return;
    prepared_ = true;
    // Only OpenCC's own segmentation is rebuilt; another would be left as it is.
    const auto segmentation =
        std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(engine_->GetSegmentation());
    if (!segmentation) return;
    std::list<opencc::ConversionPtr> chain;
    for (const opencc::ConversionPtr& step : engine_->GetConversionChain()->GetConversions())
        chain.push_back(std::make_shared<opencc::Conversion>(DoubleArrayOf(step->GetDict())));
    engine_ = std::make_shared<opencc::Converter>(
        std::string(conversion_.name),
        std::make_shared<opencc::MaxMatchSegmentation>(DoubleArrayOf(segmentation->GetDict())),
        std::make_shared<opencc::ConversionChain>(chain));
}

Converter& CachedConverter(std::string_view name) {
    static std::map<std::string, std::unique_ptr<Converter>, std::less<>> loaded;
    const auto found = loaded.find(name);
    if (found != loaded.end()) return *found->second;
    auto converter = std::make_unique<Converter>(name);
    return *loaded.emplace(std::string(name), std::move(converter)).first->second;
}

std::vector<std::optional<ConvertedText>> ConvertTexts(Converter& converter,
                                                       std::span<const std::string_view> texts,
                                                       const CodePage& codePage) {
    std::vector<std::optional<ConvertedText>> results(texts.size());
    std::size_t bytes = 0;
    for (const std::string_view text : texts) bytes += text.size();
    const bool many = bytes >= kManyBytes;
    if (many) converter.prepareForManyTexts();

    const std::size_t threads =
        many ? std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8) : 1;
    std::vector<std::exception_ptr> failures(threads);
    // Each thread takes a run of neighbouring texts.
    const auto convertShare = [&](std::size_t share) {
        try {
            TextPass pass(converter, codePage);
            const std::size_t end = texts.size() * (share + 1) / threads;
            for (std::size_t i = texts.size() * share / threads; i < end; ++i)
                results[i] = pass.convert(texts[i]);
        } catch (...) {
            failures[share] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t share = 1; share < threads; ++share)
            helpers.emplace_back(convertShare, share);
        convertShare(0);
    }  // every helper joined here, also when starting one failed
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    return results;
}

}  // namespace tirelle::chinese
