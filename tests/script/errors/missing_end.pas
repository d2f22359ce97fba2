// attendu: 1 (7:1)
// end final manquant : l'erreur est à la fin du fichier, c'est-à-dire au début
// de la ligne qui suit le dernier saut de ligne (ligne 7, colonne 1).
program missing_end;
begin
  showmessage('pas de end final');
