#include "settings/settings_rows_win.h"

#include <memory>

#include "settings/key_table.h"

using settings::Kind;
using settings::Row;
using settings::Settings;

namespace {

COLORREF ToColorRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::unique_ptr<IProperty> MakeValueItem(const settings::RowDescription& row, const wchar_t* const* devices,
                                         SettingsRows& rows) {
    switch (row.kind) {
    case Kind::DeviceList: {
        auto item = std::make_unique<CPropertyListItem>(L"");
        item->SetList(devices);
        rows.soundCardItem = item.get();
        return item;
    }
    case Kind::RateList: {
        auto item = std::make_unique<CPropertyListItem>(L"");
        const auto& entries = settings::SampleRateEntries();
        item->SetList(std::vector<std::wstring>(entries.begin(), entries.end()));
        return item;
    }
    case Kind::ChannelList: {
        auto item = std::make_unique<CPropertyListItem>(L"");
        const auto& entries = settings::ChannelEntries();
        item->SetList(std::vector<std::wstring>(entries.begin(), entries.end()));
        rows.channelItem = item.get();
        return item;
    }
    case Kind::CentreText: {
        auto item = std::make_unique<CPropertyReadOnlyItem>(L"", L"");
        rows.centreItem = item.get();
        return item;
    }
    case Kind::Check:
        return std::make_unique<CPropertyCheckButtonItem>(L"", false);
    case Kind::Directory:
        return std::make_unique<CPropertyFileNameItem>(L"", L"");
    case Kind::Choice: {
        auto item = std::make_unique<CPropertyListItem>(L"");
        std::vector<std::wstring> entries;
        for (const settings::ChoiceEntry& e : row.choices) entries.emplace_back(e.text);
        item->SetList(entries);
        return item;
    }
    case Kind::Text:
    case Kind::SaveFile:
    case Kind::Sound:
        return std::make_unique<CPropertyTextItem>(L"", L"", row.kind != Kind::Text);
    }
    return nullptr;
}

}  // namespace

void SettingsRows::Build(CPropertyGridCtrl& grid, const wchar_t* const* devices) {
    grid_ = &grid;
    for (const auto& row : settings::Rows()) {
        const int index = grid.insertItem(-1, std::make_unique<CPropertyReadOnlyItem>(L"", row.label));
        if (index < 0) continue;
        grid.setSubItem(index, 1, MakeValueItem(row, devices, *this));
    }
    // The items are made empty; the start-up values come from the key table, like every other value.
    Write(settings::StartupSettings());
}

namespace {

// The grid row that edits key `k`, or null when the table names a row the grid does not have.
const settings::RowDescription* RowOf(const settings::KeyRule& k) {
    const auto& rows = settings::Rows();
    return k.row >= 0 && static_cast<size_t>(k.row) < rows.size() ? &rows[static_cast<size_t>(k.row)] : nullptr;
}

}  // namespace

Settings SettingsRows::Read() const {
    Settings s = settings::StartupSettings();
    for (const settings::KeyRule& k : settings::Keys()) {
        const settings::RowDescription* row = RowOf(k);
        if (!row) continue;
        switch (row->kind) {
        case Kind::DeviceList:
        case Kind::ChannelList: s.*settings::FieldAs<std::int32_t>(k) = ReadIndex(k.row); break;
        case Kind::RateList: s.*settings::FieldAs<std::int32_t>(k) = settings::SampleRateAt(ReadIndex(k.row)); break;
        case Kind::CentreText: break;  // shown, not held
        case Kind::Check: s.*settings::FieldAs<bool>(k) = ReadBool(k.row); break;
        case Kind::Directory:
        case Kind::Text:
        case Kind::SaveFile:
        case Kind::Sound: s.*settings::FieldAs<std::wstring>(k) = ReadText(k.row); break;
        case Kind::Choice: {
            const int index = ReadIndex(k.row);
            if (index >= 0 && static_cast<size_t>(index) < row->choices.size())
                s.*settings::FieldAs<std::int32_t>(k) = row->choices[static_cast<size_t>(index)].value;
            break;
        }
        }
    }
    return s;
}

void SettingsRows::Write(const Settings& s) {
    for (const settings::KeyRule& k : settings::Keys()) {
        const settings::RowDescription* row = RowOf(k);
        if (!row) continue;
        switch (row->kind) {
        case Kind::DeviceList:
        case Kind::ChannelList: {
            const std::int32_t index = s.*settings::FieldAs<std::int32_t>(k);
            if (ReadIndex(k.row) != index) WriteIndex(k.row, index);
            break;
        }
        case Kind::RateList: {
            // Any other rate stays the working rate alone; the row keeps the user's last choice.
            const int index = settings::SampleRateIndex(s.*settings::FieldAs<std::int32_t>(k));
            if (index >= 0 && ReadIndex(k.row) != index) WriteIndex(k.row, index);
            break;
        }
        case Kind::CentreText: {
            const std::wstring text = settings::CentreText(s.*settings::FieldAs<double>(k));
            if (ReadText(k.row) != text) WriteText(k.row, text);
            break;
        }
        case Kind::Check: {
            const bool checked = s.*settings::FieldAs<bool>(k);
            if (ReadBool(k.row) != checked) WriteBool(k.row, checked);
            break;
        }
        case Kind::Directory:
        case Kind::Text:
        case Kind::SaveFile:
        case Kind::Sound: {
            const std::wstring& text = s.*settings::FieldAs<std::wstring>(k);
            if (ReadText(k.row) != text) WriteText(k.row, text);
            break;
        }
        case Kind::Choice: {
            // A number that is no entry leaves the row as it is (a load gives only entries).
            const int index = settings::ChoiceIndex(row->choices, s.*settings::FieldAs<std::int32_t>(k));
            if (index >= 0 && ReadIndex(k.row) != index) WriteIndex(k.row, index);
            break;
        }
        }
    }
}

void SettingsRows::ApplyLabelColours() {
    if (!grid_) return;
    for (const auto& row : settings::Rows()) {
        auto* label = dynamic_cast<CPropertyReadOnlyItem*>(grid_->getSubItem(row.row, 0));
        if (!label) continue;
        label->SetBackColor(ToColorRef(row.labelRgb));
        grid_->invalidateCell(row.row, 0);
    }
}

IProperty* SettingsRows::ValueItem(Row row) const { return grid_ ? grid_->getSubItem(row, 1) : nullptr; }

std::int32_t SettingsRows::ReadIndex(Row row) const {
    IProperty* item = ValueItem(row);
    PropertyValue value;
    std::int32_t index = -1;
    if (!item || !item->value(value) || !value.toInt32(index)) return -1;
    return index;
}

bool SettingsRows::ReadBool(Row row) const {
    IProperty* item = ValueItem(row);
    PropertyValue value;
    bool result = false;
    if (!item || !item->value(value) || !value.toBool(result)) return false;
    return result;
}

std::wstring SettingsRows::ReadText(Row row) const {
    IProperty* item = ValueItem(row);
    PropertyValue value;
    std::wstring text;
    if (!item || !item->value(value) || !value.toText(text)) return {};
    return text;
}

bool SettingsRows::WriteIndex(Row row, std::int32_t index) {
    IProperty* item = ValueItem(row);
    return item && grid_->setItemValue(item, PropertyValue(index));
}

bool SettingsRows::WriteBool(Row row, bool value) {
    IProperty* item = ValueItem(row);
    return item && grid_->setItemValue(item, PropertyValue::Bool(value));
}

bool SettingsRows::WriteText(Row row, const std::wstring& text) {
    IProperty* item = ValueItem(row);
    return item && grid_->setItemValue(item, PropertyValue(text));
}

void SettingsRows::ShowCentre(double hz) {
    if (grid_ && centreItem) grid_->setItemValue(centreItem, PropertyValue(settings::CentreText(hz)));
}

void SettingsRows::EnableCaptureRows(bool enabled) {
    if (!grid_) return;
    for (Row row : {settings::kSoundCard, settings::kSampleRate, settings::kCardChannel})
        if (IProperty* item = ValueItem(row)) grid_->enableItem(item, enabled);
}
