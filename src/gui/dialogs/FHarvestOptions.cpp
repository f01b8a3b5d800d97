#include "gui/dialogs/FHarvestOptions.h"

#include "platform/QStringBytes.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vorlith {

namespace {

constexpr std::pair<const char*, Expansion> Expansions[] = {
    {"None", Expansion::None},
    {"a\u2013z", Expansion::AZ},
    {"a\u2013z and 0\u20139", Expansion::AZ09},
    {"Questions (how, what, why\u2026)", Expansion::Questions},
    {"Prepositions (for, with, near\u2026)", Expansion::Prepositions},
};

} // namespace

TfrmHarvestOptions::TfrmHarvestOptions(const SourcesList& sources, const HarvestOptions& current, QWidget* parent)
    : QDialog(parent), sources_(sources) {
    setObjectName(QStringLiteral("frmHarvestOptions"));
    setWindowTitle(QStringLiteral("Harvest Options"));
    lstSources = new QListWidget(this);
    lstSources->setObjectName(QStringLiteral("lstSources"));
    for (const SourceEntry& entry : sources.Suggest) {
        auto* item = new QListWidgetItem(QString::fromUtf8(entry.Name.c_str()), lstSources);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool chosen = std::find(current.SourceIds.begin(), current.SourceIds.end(), entry.Id) !=
                            current.SourceIds.end();
        item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(QString::fromUtf8((entry.Id + " (" + std::string(FormatName(entry.Format)) + ")").c_str()));
    }
    cmbExpand = new QComboBox(this);
    cmbExpand->setObjectName(QStringLiteral("cmbExpand"));
    for (const auto& [text, expand] : Expansions) {
        cmbExpand->addItem(QString::fromUtf8(text));
        if (expand == current.Expand)
            cmbExpand->setCurrentIndex(cmbExpand->count() - 1);
    }
    cmbDepth = new QComboBox(this);
    cmbDepth->setObjectName(QStringLiteral("cmbDepth"));
    cmbDepth->addItems({QStringLiteral("1"), QStringLiteral("2: ask every suggestion again")});
    cmbDepth->setCurrentIndex(current.Depth == 2 ? 1 : 0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Expansion:"), cmbExpand);
    form->addRow(QStringLiteral("Depth:"), cmbDepth);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstSources);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(360, 380);
}

HarvestOptions TfrmHarvestOptions::Chosen() const {
    HarvestOptions chosen;
    for (int i = 0; i < lstSources->count(); ++i)
        if (lstSources->item(i)->checkState() == Qt::Checked)
            chosen.SourceIds.push_back(sources_.Suggest[static_cast<std::size_t>(i)].Id);
    chosen.Expand = Expansions[std::max(cmbExpand->currentIndex(), 0)].second;
    chosen.Depth = cmbDepth->currentIndex() == 1 ? 2 : 1;
    return chosen;
}

} // namespace vorlith
