#pragma once

// Pseudo-localisation, the check run before a real translation: every text becomes an accented,
// about 30 % longer variant that stays readable, "Start Game" -> "[Ŝţàŕţ Ĝàɱé ~~~]", so texts the
// client does not take from the tables, and texts cut short by their space, show up on screen.

#include <string>
#include <string_view>

namespace kelvane_dat::cli {

// Letters A-Z and a-z get accents; everything else is kept, and so are placeholders the client
// fills in (`%s`, `%1$d`, `{0}`) and markup (`<b>`), which must keep working. An empty text stays
// empty: it shows nothing either way.
std::string pseudo_localize(std::string_view text);

}  // namespace kelvane_dat::cli
