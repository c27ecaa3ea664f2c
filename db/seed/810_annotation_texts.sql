-- Texts of the TIFF viewer's annotations and stamps that the viewer's own texts do not hold.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (17177, 'Anmerkung (Text) befindet sich noch im Bearbeitungsmodus. Seite kann so (leider) nicht gespeichert werden. Bitte klicken sie neben das Eingabefeld, um dieses zu deaktiveren.',
     'An annotation (text) is still being edited. The page cannot be saved like this. Please click beside the input field to finish it.'),
    (17194, 'Grafik in Datenbank nicht gefunden.', 'Picture not found in the database.'),
    (17195, 'Fehler beim Laden des Stempels.', 'Error loading the stamp.')
ON CONFLICT (t_nr) DO NOTHING;
