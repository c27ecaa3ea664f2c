-- Texts of the scan button of module forms.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (2073, 'Scannen', 'Scan'),
    (25180, 'Dokument importieren', 'Import document')
ON CONFLICT (t_nr) DO NOTHING;
