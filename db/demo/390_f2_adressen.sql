-- F2 on the address module's town lists the towns known so far.
INSERT INTO f2poss (modulname, feldname, f2_query)
VALUES ('TFormAdress', 'EdOrt', 'SELECT DISTINCT ort, plz FROM adressen WHERE ort IS NOT NULL ORDER BY ort, plz');
