#include "Parameters.h"

#include "AppPaths.h"

#include <QDateTime>

TSavePreferences PrefsMode = spNone;

TParameter::TParameter(const QString& key, TparameterList& owner) : m_owner(owner), m_key(key) {
    owner.add(this);
}

void TIntegerParameter::LoadValue() {
    Value = m_owner.reader()->GetInteger(key(), Default());
}
void TIntegerParameter::SaveValue() {
    m_owner.writer()->PutInteger(key(), Value);
}

void TRealParameter::LoadValue() {
    Value = m_owner.reader()->GetReal(key(), Default());
}
void TRealParameter::SaveValue() {
    m_owner.writer()->PutReal(key(), Value);
}

void TBooleanParameter::LoadValue() {
    Value = m_owner.reader()->GetBool(key(), Default());
}
void TBooleanParameter::SaveValue() {
    m_owner.writer()->PutBool(key(), Value);
}

void TWideStringParameter::LoadValue() {
    Value = m_owner.reader()->GetText(key(), Default());
    if (Value.isEmpty())
        Value = Default();
}
void TWideStringParameter::SaveValue() {
    m_owner.writer()->PutText(key(), Value);
}

void TincrustRecParameter::LoadValue() {
    Value = m_owner.reader()->GetIncrustRec(key(), Default());
}
void TincrustRecParameter::SaveValue() {
    m_owner.writer()->PutIncrustRec(key(), Value);
}

void TByteParameter::LoadValue() {
    Value = uint8_t(m_owner.reader()->GetInteger(key(), Default()));
}
void TByteParameter::SaveValue() {
    m_owner.writer()->PutInteger(key(), Value);
}

TparameterList::TparameterList(const QString& signature) : Signature(signature) {}

TparameterList::~TparameterList() = default;

void TparameterList::add(TParameter* p) {
    m_items.emplace_back(p);
}

TParameter* TparameterList::find(const QString& key) const {
    for (const auto& p : m_items)
        if (p->key() == key)
            return p.get();
    return nullptr;
}

void TparameterList::clear() {
    m_items.clear();
}

void TparameterList::LoadAll() {
    m_reader = std::make_unique<TReadPreferences>(StorePath, PrefsMode);
    for (const auto& p : m_items)
        p->LoadValue();
    m_reader.reset();
}

bool TparameterList::SaveAll() {
    StorePath = kStorePath;
    m_writer = std::make_unique<TWritePreferences>(StorePath, PrefsMode);
    m_writer->PutText(QStringLiteral("Signature"), Signature);
    m_writer->PutText(QStringLiteral("DerniereSauvegarde"),
                      QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    m_writer->PutText(QStringLiteral("ExeName"), AppPaths::executablePath());
    for (const auto& p : m_items)
        p->SaveValue();
    const bool written = m_writer->commit();
    m_writer.reset();
    return written;
}
