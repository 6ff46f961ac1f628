#include "settings/settings_rows_win.h"

#include <memory>

using settings::Kind;
using settings::Row;

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
        item->setValue(PropertyValue(std::int32_t{settings::kStartSampleRateIndex}));
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
        auto item = std::make_unique<CPropertyReadOnlyItem>(L"", settings::CentreText(settings::kStartCentreHz).c_str());
        rows.centreItem = item.get();
        return item;
    }
    case Kind::Check:
        return std::make_unique<CPropertyCheckButtonItem>(L"", row.startChecked);
    case Kind::Directory:
        return std::make_unique<CPropertyFileNameItem>(L"", L"");
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
