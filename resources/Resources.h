// SPDX-License-Identifier: GPL-3.0-or-later
// Sortilex's dialog templates, pictures and string table.
#pragma once

#include "ui/Resource.h"

namespace sx {

const ui::ResourceTable& AppResources();

}  // namespace sx
