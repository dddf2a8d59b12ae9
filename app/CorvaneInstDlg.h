// The host dialog: never shown, it runs the wizard while it initialises and
// then ends itself.
#pragma once

#include "framework/Afx.h"
#include "res/resource.h"

class CCorvaneInstDlg : public CDialog {
public:
    enum { IDD = IDD_CORVANEINST_DIALOG };

    CCorvaneInstDlg();
    ~CCorvaneInstDlg() override = default;

protected:
    HICON m_hIcon;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()
};
