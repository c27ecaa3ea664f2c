-- Addresses of the sample address module.
CREATE TABLE adressen (
    dbrid         serial PRIMARY KEY,
    name          varchar(100) NOT NULL,
    ort           varchar(60),
    plz           varchar(10),
    strasse       varchar(100),
    telefon       varchar(40),
    email         varchar(100),
    insert_date   timestamp NOT NULL DEFAULT now(),
    insert_by     text NOT NULL DEFAULT current_user,
    modified_date timestamp,
    modified_by   text
);
