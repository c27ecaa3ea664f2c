-- Texts of the auto-refresh drop-down, the grid menu and the filter tabs. The auto-refresh
-- captions read "<13133> - <n> <3007|565>", the menu's off item is 13132.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (565, 'Min.', 'min'),
    (3007, 'Sek.', 's'),
    (13132, 'Deaktiviert', 'Off'),
    (13133, 'Intervall', 'Interval'),
    (13136, 'Automatisch aktualisieren', 'Refresh automatically'),
    (13137, '... Datenaktualisierung ...', '... refreshing data ...'),
    (2880, 'Exportieren', 'Export'),
    (2881, 'Drucken', 'Print'),
    (2882, 'Optimale Spaltenbreite', 'Best column widths'),
    (2883, 'Filter-Reiter', 'Filter tabs'),
    (2884, 'Lokales Layout bevorzugen', 'Prefer own layout'),
    (2885, 'Eigenes Layout laden', 'Load own layout'),
    (2886, 'Eigenes Layout speichern', 'Save own layout'),
    (2887, 'Eigenes Layout löschen', 'Delete own layout'),
    (2888, 'Globales Layout laden', 'Load global layout'),
    (2889, 'Globales Layout speichern', 'Save global layout'),
    (2890, 'Globales Layout löschen', 'Delete global layout'),
    (2891, 'Alle Gruppen aufklappen', 'Expand all groups'),
    (2892, 'Alle Gruppen zuklappen', 'Collapse all groups')
ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = EXCLUDED.t_feld0, t_feld3 = EXCLUDED.t_feld3;
