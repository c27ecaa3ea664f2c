-- Module libraries of the demo menu and its lookup test entry.
UPDATE mainmenu SET mm_library = 'Adressen.M', mm_proc = 'ADRESSEN' WHERE mm_formclassname = 'TFormAdress';
UPDATE mainmenu SET mm_library = 'Info.M', mm_proc = 'INFO' WHERE mm_formclassname = 'TFormInfo';
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (300, 3, 20, 'Adresse suchen', 'TFormLookupTest', 'F2Test.M', 'LOOKUPTEST');
INSERT INTO f2poss (modulname, feldname, f2_query)
VALUES ('TFormLookupTest', 'EdWert', 'SELECT name, ort FROM adressen ORDER BY name');
