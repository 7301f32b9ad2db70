#pragma once

// The subtree of .sales.acme of the sample tree as a subtree walk gives it: the container, then
// each subordinate by name, followed by its own subtree.

#include <string>
#include <vector>

namespace era {

inline const std::vector<std::string>& SalesSubtree() {
    static const std::vector<std::string> names = {
        ".sales.acme",
        ".agarcia.sales.acme",
        ".east.sales.acme",
        ".dlee.east.sales.acme",
        ".egreen.east.sales.acme",
        ".jdoe.east.sales.acme",
        ".mbrown.east.sales.acme",
        ".ohall.east.sales.acme",
        ".pmartin.east.sales.acme",
        ".projects.east.sales.acme",
        ".nfoster.projects.east.sales.acme",
        ".projects-team.projects.east.sales.acme",
        ".sintern.projects.east.sales.acme",
        ".swhite.east.sales.acme",
        ".sales-managers.sales.acme",
        ".west.sales.acme",
        ".bclark.west.sales.acme",
        ".hwright.west.sales.acme",
        ".jlopez.west.sales.acme",
        ".kwilson.west.sales.acme",
        ".rbaker.west.sales.acme",
        ".tnguyen.west.sales.acme",
    };
    return names;
}

// Its last part: .west.sales.acme and the objects in it.
constexpr size_t WestSubtreeSize = 7;

} // namespace era
