// TfmDetail: the contact details dialog. Shows the main fields of one
// neutral contact record in 23 edit boxes; it only displays, nothing typed
// into a box is ever written back.
#pragma once

#include <QDialog>

struct CommAddrRecord;
class QLineEdit;

class TfmDetail : public QDialog {
    Q_OBJECT

public:
    explicit TfmDetail(QWidget* pParent = nullptr);

    // The record to show; not owned, the caller keeps it alive while the
    // dialog is open.
    void SetRecord(const CommAddrRecord* pRecord) { m_pRecord = pRecord; }
    // Copies the record's fields into the edit boxes, as stored; does
    // nothing while no record is set.
    void FillControls();

    // The window's close box closes with kModalCancel, as btnCancel does.
    void reject() override;

private:
    const CommAddrRecord* m_pRecord = nullptr;
};
