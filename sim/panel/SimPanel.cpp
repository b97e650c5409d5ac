#include "sim/panel/SimPanel.h"

#include "sim/panel/HeadingDial.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <map>

namespace {

void Name(QWidget* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
}

// `state`'s Name=value lines; empty when the answer is an error.
std::map<QString, QString> ParseState(const std::string& answer) {
    std::map<QString, QString> values;
    for (const QString& line : QString::fromStdString(answer).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0) {
            values[line.left(eq)] = line.mid(eq + 1);
        }
    }
    return values;
}

QString Degrees(int degrees) {
    return QStringLiteral("%1\u00b0").arg(degrees, 3, 10, QLatin1Char('0'));
}

// "key=value" → value.
QString After(const QString& field) {
    return field.mid(field.indexOf(QLatin1Char('=')) + 1);
}

} // namespace

CSimPanel::CSimPanel(Executor exec, int comNumber, QWidget* parent)
    : QWidget(parent), execute(std::move(exec)) {
    setWindowTitle(QStringLiteral("HX410 simulator \u2014 COM%1").arg(comNumber));
    auto* right = new QVBoxLayout;
    right->addWidget(BuildUnit());
    right->addWidget(BuildFaults());
    right->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(BuildAircraft());
    top->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(BuildSwing());
    statusLabel = new QLabel(this);
    Name(statusLabel, "statusLabel", QStringLiteral("Unit status"));
    answerLabel = new QLabel(this);
    Name(answerLabel, "answerLabel", QStringLiteral("Last answer"));
    answerLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    answerLabel->setMinimumHeight(answerLabel->fontMetrics().height()); // no jump at the first
    layout->addWidget(statusLabel);
    layout->addWidget(answerLabel);

    Refresh();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CSimPanel::Refresh);
    timer->start(kRefreshMs);
}

QWidget* CSimPanel::BuildAircraft() {
    auto* box = new QGroupBox(QStringLiteral("Aircraft"), this);
    headingDial = new CHeadingDial(box);
    Name(headingDial, "headingDial", QStringLiteral("Heading"));
    headingLabel = new QLabel(Degrees(0), box);
    Name(headingLabel, "headingLabel", QStringLiteral("Heading in degrees"));
    headingLabel->setAlignment(Qt::AlignCenter);
    QFont big = headingLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    headingLabel->setFont(big);
    connect(headingDial, &QDial::valueChanged, this, [this] {
        headingLabel->setText(Degrees(headingDial->Heading()));
        Send("heading " + std::to_string(headingDial->Heading()));
    });

    pitchSpin = AddNumber("pitchSpin", -90.0, 90.0, 0.5, 1, "pitch");
    rollSpin = AddNumber("rollSpin", -90.0, 90.0, 0.5, 1, "roll");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Pitch:"), pitchSpin);
    form->addRow(QStringLiteral("&Roll:"), rollSpin);
    for (QDoubleSpinBox* spin : {pitchSpin, rollSpin}) {
        spin->setSuffix(QStringLiteral("\u00b0"));
    }
    pitchSpin->setAccessibleName(QStringLiteral("Pitch"));
    rollSpin->setAccessibleName(QStringLiteral("Roll"));

    auto* layout = new QVBoxLayout(box);
    layout->addWidget(headingDial, 1);
    layout->addWidget(headingLabel);
    layout->addLayout(form);
    return box;
}

QWidget* CSimPanel::BuildUnit() {
    auto* box = new QGroupBox(QStringLiteral("Unit"), this);
    powerCheck = AddSwitch("powerCheck", QStringLiteral("Unit &power on"), "power");
    magPluggedCheck =
        AddSwitch("magPluggedCheck", QStringLiteral("&Magnetometer plugged in"), "mag");
    freeFieldCheck = AddSwitch("freeFieldCheck",
                               QStringLiteral("Magnetometer &away from the aircraft"), "freefield");
    auto* unplugButton = new QPushButton(QStringLiteral("&Unplug adapter"), box);
    Name(unplugButton, "unplugAdapterButton", QStringLiteral("Unplug adapter"));
    unplugButton->setToolTip(
        QStringLiteral("The port hangs up and comes back as a new device behind the same COM"));
    connect(unplugButton, &QPushButton::clicked, this, [this] { Send("unplug"); });

    auto* layout = new QVBoxLayout(box);
    layout->addWidget(powerCheck);
    layout->addWidget(magPluggedCheck);
    layout->addWidget(freeFieldCheck);
    layout->addWidget(unplugButton, 0, Qt::AlignLeft);
    return box;
}

QWidget* CSimPanel::BuildFaults() {
    auto* box = new QGroupBox(QStringLiteral("Faults"), this);
    dropAcksCheck = new QCheckBox(QStringLiteral("&Drop acknowledgements"), box);
    Name(dropAcksCheck, "dropAcksCheck", QStringLiteral("Drop acknowledgements"));
    connect(dropAcksCheck, &QCheckBox::toggled, this,
            [this](bool on) { Send(std::string("fault drop-acks ") + (on ? "on" : "off")); });
    garbleSpin = AddNumber("garbleRateSpin", 0.0, 1.0, 0.01, 2, "fault garble");
    garbleSpin->setAccessibleName(QStringLiteral("Garble rate"));
    versionEdit = new QLineEdit(box);
    Name(versionEdit, "versionEdit", QStringLiteral("Reported version"));
    versionEdit->setPlaceholderText(QStringLiteral("as configured"));
    versionEdit->setClearButtonEnabled(true);
    connect(versionEdit, &QLineEdit::editingFinished, this,
            [this] { Send("fault version " + versionEdit->text().trimmed().toStdString()); });

    auto* layout = new QFormLayout(box);
    layout->addRow(dropAcksCheck);
    layout->addRow(QStringLiteral("&Garble rate:"), garbleSpin);
    layout->addRow(QStringLiteral("&Version:"), versionEdit);
    return box;
}

QWidget* CSimPanel::BuildSwing() {
    auto* box = new QGroupBox(QStringLiteral("Compass swing"), this);
    auto* swingButton = new QPushButton(QStringLiteral("&Swing"), box);
    Name(swingButton, "swingButton", QStringLiteral("Swing"));
    swingButton->setToolTip(QStringLiteral("Output heading and error at every 10 degrees"));
    connect(swingButton, &QPushButton::clicked, this, &CSimPanel::RunSwing);
    swingMaxLabel = new QLabel(QStringLiteral("Max error: \u2014"), box);
    Name(swingMaxLabel, "swingMaxLabel", QStringLiteral("Max error"));
    swingTable = new QTableWidget(0, 3, box);
    Name(swingTable, "swingTable", QStringLiteral("Compass swing"));
    swingTable->setHorizontalHeaderLabels(
        {QStringLiteral("Heading"), QStringLiteral("Output"), QStringLiteral("Error")});
    swingTable->verticalHeader()->hide();
    swingTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    swingTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    swingTable->setSelectionMode(QAbstractItemView::NoSelection);
    swingTable->setFixedHeight(swingTable->horizontalHeader()->sizeHint().height() +
                               5 * swingTable->verticalHeader()->defaultSectionSize() + 4);

    auto* side = new QVBoxLayout;
    side->addWidget(swingButton);
    side->addWidget(swingMaxLabel);
    side->addStretch();
    auto* layout = new QHBoxLayout(box);
    layout->addLayout(side);
    layout->addWidget(swingTable, 1);
    return box;
}

QCheckBox* CSimPanel::AddSwitch(const char* name, const QString& text, const char* verb) {
    auto* check = new QCheckBox(text, this);
    Name(check, name, QString(text).remove(QLatin1Char('&')));
    connect(check, &QCheckBox::toggled, this,
            [this, verb = std::string(verb)](bool on) { Send(verb + (on ? " on" : " off")); });
    return check;
}

QDoubleSpinBox* CSimPanel::AddNumber(const char* name, double min, double max, double step,
                                     int decimals, const char* command) {
    auto* spin = new QDoubleSpinBox(this);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setDecimals(decimals);
    spin->setKeyboardTracking(false); // one command per entry, not per keystroke
    connect(spin, &QDoubleSpinBox::valueChanged, this,
            [this, decimals, command = std::string(command)](double v) {
                Send(command + " " + QString::number(v, 'f', decimals).toStdString());
            });
    return spin;
}

std::string CSimPanel::Send(const std::string& line) {
    const std::string answer = execute(line);
    answerLabel->setText(QString::fromStdString(answer.substr(answer.rfind('\n') + 1)));
    return answer;
}

void CSimPanel::Refresh() {
    const std::map<QString, QString> state = ParseState(execute("state"));
    if (state.empty()) {
        return;
    }
    const auto value = [&state](const char* name) {
        const auto it = state.find(QString::fromLatin1(name));
        return it == state.end() ? QString() : it->second;
    };
    const auto on = [&value](const char* name) { return value(name) == QLatin1String("on"); };
    if (!headingDial->isSliderDown()) {
        const double heading = value("Heading").toDouble();
        const QSignalBlocker block(headingDial);
        headingDial->setValue(static_cast<int>(std::lround(std::fmod(heading, 360.0) + 360.0)) %
                              360);
        headingLabel->setText(Degrees(headingDial->Heading()));
    }
    const std::pair<QDoubleSpinBox*, const char*> numbers[] = {
        {pitchSpin, "Pitch"}, {rollSpin, "Roll"}, {garbleSpin, "Garble"}};
    for (const auto& [spin, name] : numbers) {
        if (!spin->hasFocus()) {
            const QSignalBlocker block(spin);
            spin->setValue(value(name).toDouble());
        }
    }
    const std::pair<QCheckBox*, const char*> switches[] = {{powerCheck, "Power"},
                                                           {magPluggedCheck, "MagPresent"},
                                                           {freeFieldCheck, "FreeField"},
                                                           {dropAcksCheck, "DropAcks"}};
    for (const auto& [check, name] : switches) {
        const QSignalBlocker block(check);
        check->setChecked(on(name));
    }
    statusLabel->setText(!on("Power")
                             ? QStringLiteral("Unit off")
                             : QStringLiteral("Status %1 \u00b7 output heading %2\u00b0 \u00b7 "
                                              "magnetometer %3")
                                   .arg(value("Status"), value("OutputHeading"),
                                        value("MagAnswering") == QLatin1String("yes")
                                            ? QStringLiteral("answering")
                                            : QStringLiteral("silent")));
}

void CSimPanel::RunSwing() {
    const QStringList lines = QString::fromStdString(Send("swing")).split(QLatin1Char('\n'));
    swingTable->setRowCount(0);
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() == 2 && fields[1].startsWith(QLatin1String("max="))) {
            swingMaxLabel->setText(QStringLiteral("Max error: %1\u00b0").arg(After(fields[1])));
        } else if (fields.size() == 4) { // swing DEG heading=H error=E
            const int row = swingTable->rowCount();
            swingTable->insertRow(row);
            const QString cells[] = {fields[1] + QStringLiteral("\u00b0"), After(fields[2]),
                                     After(fields[3])};
            for (int column = 0; column < 3; ++column) {
                auto* item = new QTableWidgetItem(cells[column]);
                item->setTextAlignment(Qt::AlignCenter);
                swingTable->setItem(row, column, item);
            }
        }
    }
}
