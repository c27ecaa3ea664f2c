-- F2 on the address module's town lists the towns known so far.
INSERT INTO f2poss (f2_modul, f2_feld, f2_sql)
VALUES ('TFormAdress', 'EdOrt', 'SELECT DISTINCT ort, plz FROM adressen WHERE ort IS NOT NULL ORDER BY ort, plz');
