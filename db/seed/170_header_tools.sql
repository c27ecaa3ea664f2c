-- Texts of the header's tools popup and actions.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (17303, 'Der Zustand wird gespeichert.', 'The state is saved.'),
    (26177, 'Schließen Sie das Fenster um die Änderungen zu aktivieren',
            'Close the window to activate the changes'),
    (26706, 'Unitname wurde in die Zwischenablage kopiert', 'Unit name copied to the clipboard'),
    (26760, 'Diese Funktion ist nur für Administratoren.', 'This function is for administrators only.'),
    (26761, 'Das Bearbeiten der Sonderfunktionen ist nicht verfügbar.',
            'Editing special functions is not available.'),
    (31256, 'Sonderfunktion ausführen?', 'Run special function?'),
    (40101, 'Ort auf Großbuchstaben setzen', 'Town in capitals'),
    (40102, 'Adresse als Kopie anlegen', 'Create a copy of the address'),
    (40103, 'Nur bei E-Mail-Adresse: Rundschreiben', 'Only with an e-mail address: circular')
ON CONFLICT (t_nr) DO NOTHING;
