#include "mail/msmxcls.h"

#include <utility>

void TMXList::Sort() {
    for (std::size_t i = 0; i + 1 < items_.size(); ++i) {
        std::uint16_t best = items_[i]->Preference;
        for (std::size_t j = i + 1; j < items_.size(); ++j) {
            if (items_[j]->Preference < best) {
                best = items_[j]->Preference;
                std::swap(items_[i], items_[j]);
            }
        }
    }
}
