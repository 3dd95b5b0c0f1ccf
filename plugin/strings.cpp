#include "plugin/resources.h"

std::vector<StringResource> VellumarStrings() {
    return {
        {1, L"Optimal automatic unwrapping"},
        {2, L"Tavik Plugins"},
        {3, L"VellumarUtility"},
        {4, L"Unwrap Parameters"},
        {5, L"Advanced Unwrap Settings"},
        {6, L"About"},
        {7, L"MapChannel"},
        {8, L"Charts"},
        {9, L"Stretch"},
        {10, L"Gutter"},
        {11, L"Width"},
        {12, L"Height"},
        {13, L"Quality"},
        {14, L"VellumarModifier"},
        {15, L"Results"},
        {16, L"Options"},
        {17, L"Baking"},
        {18, L"Network Rendering"},
        {19, L"Base Unwrap"},
        {20, L"Info"},
        {21, L"Shells"},
    };
}
