-- Texts of the scan service: the scanner check and the question after a file import.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (31236, 'Scannerauswahl fehlerhaft.', 'Scanner selection is faulty.'),
    (31242, 'Eingelesene Datei löschen?', 'Delete the imported file?')
ON CONFLICT (t_nr) DO NOTHING;
