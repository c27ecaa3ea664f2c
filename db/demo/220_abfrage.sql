-- The sample query module: SQL editor frame over a dataset frame.
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (2201, 1, 95, 'Abfrage', 'TFormAbfrage', 'Abfrage.M', 'ABFRAGE');
