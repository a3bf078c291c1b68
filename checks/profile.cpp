#include "checks/profile.h"

#include <algorithm>
#include <array>
#include <string>

namespace tirelle::checks {

namespace {

constexpr std::array kProfiles = {
    Profile{"netflix-zh", Counting::EastAsianWidth, 16, 2, 0.833, 7, 9, 2},
    Profile{"netflix-en", Counting::EveryCharacter, 42, 2, 0.833, 7, 20, 2},
    Profile{"fansub", Counting::EastAsianWidth, 25, 2, 0.5, 10, 16, 0},
};

}  // namespace

std::span<const Profile> Profiles() {
    return kProfiles;
}

const Profile* FindProfile(std::string_view name) {
    const auto found = std::find_if(kProfiles.begin(), kProfiles.end(),
                                    [name](const Profile& p) { return p.name == name; });
    return found == kProfiles.end() ? nullptr : &*found;
}

const Profile& DefaultProfile() {
    return kProfiles[2];
}

std::string_view ProfileNames() {
    static const std::string names = [] {
        std::string joined;
        for (const Profile& profile : kProfiles) {
            if (!joined.empty()) joined += ", ";
            joined += profile.name;
        }
        return joined;
    }();
    return names;
}

}  // namespace tirelle::checks
