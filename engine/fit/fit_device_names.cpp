#include "fit/fit_device_names.h"

#include <utility>

namespace kelvane {

namespace {

// The numbers of the FIT profile's manufacturer type for makers whose files
// people convert most, and the reference files' makers.
constexpr std::pair<unsigned, const char *> kManufacturers[] = {
    {1, "Garmin"},
    {6, "SRM"},
    {13, "Dynastream"},
    {15, "Dynastream"},
    {16, "Timex"},
    {23, "Suunto"},
    {32, "Wahoo Fitness"},
    {40, "Concept2"},
    {45, "Xplova"},
    {69, "Stages Cycling"},
    {70, "Sigma Sport"},
    {71, "TomTom"},
    {89, "Tacx"},
    {95, "Stryd"},
    {107, "Magene"},
    {112, "Bryton"},
    {115, "iGPSPORT"},
    {123, "Polar"},
    {129, "Coros"},
    {140, "Decathlon"},
    {144, "Zwift"},
    {255, "development"},
    {258, "Lezyne"},
    {260, "Zwift"},
    {263, "Favero Electronics"},
    {265, "Strava"},
    {267, "Bryton"},
    {281, "TrainerRoad"},
    {289, "Hammerhead"},
    {294, "Coros"},
    {310, "Decathlon"},
    {331, "MyWhoosh"},
    {348, "Huawei"},
};

constexpr unsigned kGarmin = 1;

// The FIT profile's garmin_product numbers of common watches and bike
// computers (the profile has one more for each regional edition; those are
// left to their numbers).
constexpr std::pair<unsigned, const char *> kGarminProducts[] = {
    {1018, "Forerunner 310XT"},
    {1036, "Edge 500"},
    {1169, "Edge 800"},
    {1328, "Forerunner 910XT"},
    {1561, "Edge 510"},
    {1567, "Edge 810"},
    {1623, "Forerunner 620"},
    {1632, "Forerunner 220"},
    {1765, "Forerunner 920XT"},
    {1836, "Edge 1000"},
    {1903, "Forerunner 15"},
    {2050, "fenix 3"},
    {2067, "Edge 520"},
    {2153, "Forerunner 225"},
    {2156, "Forerunner 630"},
    {2157, "Forerunner 230"},
    {2158, "Forerunner 735XT"},
    {2413, "fenix 3 HR"},
    {2431, "Forerunner 235"},
    {2530, "Edge 820"},
    {2544, "fenix 5S"},
    {2604, "fenix 5X"},
    {2691, "Forerunner 935"},
    {2697, "fenix 5"},
    {2700, "vivoactive 3"},
    {2713, "Edge 1030"},
    {2886, "Forerunner 645"},
    {2888, "Forerunner 645 Music"},
    {2909, "Edge 130"},
    {3076, "Forerunner 245"},
    {3077, "Forerunner 245 Music"},
    {3110, "fenix 5 Plus"},
    {3111, "fenix 5X Plus"},
    {3112, "Edge 520 Plus"},
    {3113, "Forerunner 945"},
    {3121, "Edge 530"},
    {3122, "Edge 830"},
    {3226, "Venu"},
    {3282, "Forerunner 45"},
    {3290, "fenix 6"},
    {3291, "fenix 6X"},
    {3558, "Edge 130 Plus"},
    {3570, "Edge 1030 Plus"},
    {3589, "Forerunner 745"},
    {3638, "Enduro"},
    {3703, "Venu 2"},
    {3843, "Edge 1040"},
    {3869, "Forerunner 55"},
    {3888, "Instinct 2"},
    {3905, "fenix 7S"},
    {3906, "fenix 7"},
    {3907, "fenix 7X"},
    {3943, "epix (Gen 2)"},
    {3992, "Forerunner 255"},
    {4024, "Forerunner 955"},
    {4061, "Edge 540"},
    {4062, "Edge 840"},
    {4257, "Forerunner 265"},
    {4315, "Forerunner 965"},
    {4536, "fenix 8"},
    {65534, "Connect"},
};

template <std::size_t N>
const char *lookUp(const std::pair<unsigned, const char *> (&table)[N], unsigned number)
{
    for (const auto &[each, name] : table)
        if (each == number)
            return name;
    return nullptr;
}

} // namespace

QString fitManufacturerName(unsigned manufacturer)
{
    if (const char *name = lookUp(kManufacturers, manufacturer))
        return QString::fromLatin1(name);
    return QStringLiteral("manufacturer %1").arg(manufacturer);
}

QString fitDeviceName(std::optional<unsigned> manufacturer, std::optional<unsigned> product,
                      std::string_view productName)
{
    if (!manufacturer)
        return {};
    QString name = fitManufacturerName(*manufacturer);
    if (!productName.empty()) {
        name +=
            QLatin1Char(' ') + QString::fromUtf8(productName.data(), qsizetype(productName.size()));
    } else if (product) {
        const char *known = *manufacturer == kGarmin ? lookUp(kGarminProducts, *product) : nullptr;
        name += known ? QLatin1Char(' ') + QString::fromLatin1(known)
                      : QStringLiteral(" product %1").arg(*product);
    }
    return name;
}

} // namespace kelvane
