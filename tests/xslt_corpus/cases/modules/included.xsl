<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:variable name="w" select="'included-w'"/>
<xsl:template match="author"><included><xsl:value-of select="."/></included></xsl:template>
</xsl:stylesheet>
