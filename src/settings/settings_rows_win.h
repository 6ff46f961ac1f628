// SettingsRows builds the setting rows in the settings grid and moves Settings into and out of them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "controls/property_grid.h"
#include "settings/settings.h"
#include "settings/settings_model.h"

class SettingsRows {
public:
    // Adds the rows with their start-up values; `devices` are row 0's entries.
    void Build(CPropertyGridCtrl& grid, const wchar_t* const* devices);
    // Rows -> model. The sample rate is the rate of the row's choice (the main window's working rate
    // may differ after a load); the centre row only shows the main window's number, so the centre
    // is the start-up one.
    settings::Settings Read() const;
    // Model -> rows: every row whose value differs is written (and redrawn). The rate row moves only
    // for one of the seven list rates; the centre row shows "%.0lf Hz" of the centre.
    void Write(const settings::Settings& s);
    // Gives the label cells their background colours.
    void ApplyLabelColours();

    // The row's value item (column 1), or null.
    IProperty* ValueItem(settings::Row row) const;

    // Reading at the moment of use: an index, a check state, a directory text.
    std::int32_t ReadIndex(settings::Row row) const;  // -1 when the row has no valid entry
    bool ReadBool(settings::Row row) const;
    std::wstring ReadText(settings::Row row) const;

    // Writing through the grid (redraws the cell; sends no notification).
    bool WriteIndex(settings::Row row, std::int32_t index);
    bool WriteBool(settings::Row row, bool value);
    bool WriteText(settings::Row row, const std::wstring& text);
    void ShowCentre(double hz);

    // Rows 0 to 2 while capture runs.
    void EnableCaptureRows(bool enabled);

    // The items the main window keeps direct references to.
    CPropertyListItem* soundCardItem = nullptr;
    CPropertyListItem* channelItem = nullptr;
    CPropertyReadOnlyItem* centreItem = nullptr;

private:
    CPropertyGridCtrl* grid_ = nullptr;
};
