// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fontdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace rollcall {

namespace {
// The sixteen colours of the classic font dialog, in its order.
const struct
{
    const char *name;
    QRgb rgb;
} kColors[] = { { "Black", 0x000000 }, { "Maroon", 0x800000 }, { "Green", 0x008000 },
    { "Olive", 0x808000 }, { "Navy", 0x000080 }, { "Purple", 0x800080 }, { "Teal", 0x008080 },
    { "Gray", 0x808080 }, { "Silver", 0xC0C0C0 }, { "Red", 0xFF0000 }, { "Lime", 0x00FF00 },
    { "Yellow", 0xFFFF00 }, { "Blue", 0x0000FF }, { "Fuchsia", 0xFF00FF }, { "Aqua", 0x00FFFF },
    { "White", 0xFFFFFF } };

const char *const kStyles[] = { "Regular", "Italic", "Bold", "Bold Italic" };
} // namespace

FontDialog::FontDialog(const Prompts::FontChoice &start, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fontDialog"));
    setWindowTitle(QStringLiteral("Font"));

    m_family = new QFontComboBox(this);
    m_family->setObjectName(QStringLiteral("fontFamily"));
    m_family->setFontFilters(QFontComboBox::ScalableFonts);
    m_family->setCurrentFont(start.font);

    m_style = new QListWidget(this);
    m_style->setObjectName(QStringLiteral("fontStyle"));
    for (const char *s : kStyles)
        m_style->addItem(QString::fromLatin1(s));
    m_style->setCurrentRow((start.font.bold() ? 2 : 0) + (start.font.italic() ? 1 : 0));
    m_style->setMaximumHeight(90);

    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("fontSize"));
    m_size->setEditable(true);
    for (int points : QFontDatabase::standardSizes())
        m_size->addItem(QString::number(points));
    const qreal size = start.font.pointSizeF() > 0 ? start.font.pointSizeF() : 12;
    m_size->setCurrentText(QString::number(size));

    m_strike = new QCheckBox(QStringLiteral("Stri&keout"), this);
    m_strike->setObjectName(QStringLiteral("fontStrikeout"));
    m_strike->setChecked(start.font.strikeOut());
    m_underline = new QCheckBox(QStringLiteral("&Underline"), this);
    m_underline->setObjectName(QStringLiteral("fontUnderline"));
    m_underline->setChecked(start.font.underline());
    m_color = new QComboBox(this);
    m_color->setObjectName(QStringLiteral("fontColor"));
    for (const auto &c : kColors) {
        QPixmap swatch(14, 14);
        swatch.fill(QColor(c.rgb));
        m_color->addItem(QIcon(swatch), QString::fromLatin1(c.name), QColor(c.rgb));
    }
    const QColor startColor = start.color.isValid() ? start.color.toRgb() : QColor(Qt::black);
    int colorIndex = m_color->findData(startColor);
    if (colorIndex < 0) { // a colour read from a file: offered as it is
        QPixmap swatch(14, 14);
        swatch.fill(startColor);
        m_color->addItem(QIcon(swatch), startColor.name(), startColor);
        colorIndex = m_color->count() - 1;
    }
    m_color->setCurrentIndex(colorIndex);

    auto *effects = new QGroupBox(QStringLiteral("Effects"), this);
    auto *effectsLayout = new QVBoxLayout(effects);
    effectsLayout->addWidget(m_strike);
    effectsLayout->addWidget(m_underline);
    effectsLayout->addWidget(new QLabel(QStringLiteral("&Color:"), effects));
    effectsLayout->addWidget(m_color);
    static_cast<QLabel *>(effectsLayout->itemAt(2)->widget())->setBuddy(m_color);

    m_sample = new QLabel(QStringLiteral("AaBbYyZz"), this);
    m_sample->setObjectName(QStringLiteral("fontSample"));
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumHeight(60);
    m_sample->setFrameShape(QFrame::StyledPanel);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Font:"), m_family);
    form->addRow(QStringLiteral("Font st&yle:"), m_style);
    form->addRow(QStringLiteral("&Size:"), m_size);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *middle = new QHBoxLayout;
    middle->addWidget(effects);
    middle->addWidget(m_sample, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(middle);
    layout->addWidget(buttons);

    connect(m_family, &QFontComboBox::currentFontChanged, this, &FontDialog::updateSample);
    connect(m_style, &QListWidget::currentRowChanged, this, &FontDialog::updateSample);
    connect(m_size, &QComboBox::currentTextChanged, this, &FontDialog::updateSample);
    connect(m_strike, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_underline, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_color, &QComboBox::currentIndexChanged, this, &FontDialog::updateSample);
    updateSample();
}

Prompts::FontChoice FontDialog::choice() const
{
    Prompts::FontChoice c;
    c.font = m_family->currentFont();
    // The family shown, not a generic name the combo box was started with.
    if (!m_family->currentText().trimmed().isEmpty())
        c.font.setFamilies(QStringList { m_family->currentText().trimmed() });
    const int style = std::max(0, m_style->currentRow());
    c.font.setBold(style >= 2);
    c.font.setItalic(style % 2 == 1);
    bool ok = false;
    const double size = m_size->currentText().toDouble(&ok);
    c.font.setPointSizeF(ok && size >= 1 && size <= 1638 ? size : 12);
    c.font.setStrikeOut(m_strike->isChecked());
    c.font.setUnderline(m_underline->isChecked());
    c.color = m_color->currentData().value<QColor>();
    return c;
}

void FontDialog::updateSample()
{
    const Prompts::FontChoice c = choice();
    m_sample->setFont(c.font);
    QPalette palette = m_sample->palette();
    palette.setColor(QPalette::WindowText, c.color);
    m_sample->setPalette(palette);
}

} // namespace rollcall
