#pragma once

// Names of the devices that write FIT files, by the numbers of their
// file_id message.

#include <QString>

#include <optional>
#include <string_view>

namespace kelvane {

// The maker's name ("Garmin", "Wahoo Fitness"), or "manufacturer N" for a
// number not in our table.
QString fitManufacturerName(unsigned manufacturer);

// The device as a person names it: the maker and the product ("Garmin
// Forerunner 735XT"; "Sigma Sport ROX 11.1 EVO" from the file's own
// product_name; "Wahoo Fitness product 31" where neither the file nor our
// table names it). Empty when the file names no maker.
QString fitDeviceName(std::optional<unsigned> manufacturer, std::optional<unsigned> product,
                      std::string_view productName = {});

} // namespace kelvane
